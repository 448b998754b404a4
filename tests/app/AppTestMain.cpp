#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

// Every run gets a home and a settings folder of its own, so no test ever
// reads or writes the user's settings.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    const QByteArray root = QFile::encodeName(home.path());
    setenv("HOME", root.constData(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
    setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);

    // No splash in tests unless a test shows one itself.
    std::vector<char*> args(argv, argv + argc);
    char nologo[] = "-nologo";
    args.push_back(nologo);
    int qtArgc = int(args.size());
    QApplication app(qtArgc, args.data());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path() + "/config");
    return RUN_ALL_TESTS();
}
