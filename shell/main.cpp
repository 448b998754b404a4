#include "MainFrame.h"
#include "VistrelApp.h"

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
int g_signalFds[2] = {-1, -1};

// Only async-signal-safe work here: the event loop does the rest.
void OnTerminate(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalFds[0], &c, 1);
}
} // namespace

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

    // SIGTERM and SIGINT close the main window the normal way, so that the
    // placement and bar state are written.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFds) == 0)
    {
        auto* notifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, &application);
        QObject::connect(notifier, &QSocketNotifier::activated, &application, [&app] {
            char c;
            [[maybe_unused]] const ssize_t n = ::read(g_signalFds[1], &c, 1);
            if (app.GetMainFrame() && !app.GetMainFrame()->IsClosed())
                app.GetMainFrame()->close();
        });
        struct sigaction action = {};
        action.sa_handler = OnTerminate;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
    }
    // A signal during start-up (a message box may be up) closes the frame;
    // start-up then ends without showing it again.
    if (!app.InitInstance() || !app.GetMainFrame() || app.GetMainFrame()->IsClosed())
        return 0;
    return QApplication::exec();
}
