#include "MainFrame.h"
#include "NativePath.h"
#include "Termination.h"
#include "VistrelApp.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tarnwell"));
    QApplication::setApplicationName(QStringLiteral("Vistrel"));
    QApplication::setApplicationVersion(QStringLiteral("1.303"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/vistrel.png")));
    // Outside a desktop session the theme is unset; Adwaita has the toolbar images.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));

    CVistrelApp app;
    // QApplication has taken its own options out of argv.
    app.m_arguments = NativePath::Arguments(argc, argv);

    // SIGTERM and SIGINT end the program as its Exit does, settings written.
    Termination::InstallSignalHandlers();
    // A signal during start-up (a message box may be up) closes the frame;
    // start-up then ends without showing it again.
    if (!app.InitInstance() || !app.GetMainFrame() || app.GetMainFrame()->IsClosed())
        return 0;
    return QApplication::exec();
}
