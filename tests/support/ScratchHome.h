#pragma once
#include <QFile>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include <cstdlib>
#include <vector>

/// A home of its own for a run of the program in the tests and benchmarks:
/// HOME and the XDG config and data folders point into a temporary folder,
/// removed at the end, so no run reads or writes the user's files. Made
/// before the QApplication; the program's own arguments gain "-nologo".
class CScratchHome
{
public:
    CScratchHome(int argc, char** argv) : m_args(argv, argv + argc)
    {
        m_args.push_back(m_nologo);
        m_argc = int(m_args.size());
        if (!m_home.isValid())
            return;
        const QByteArray root = QFile::encodeName(m_home.path());
        setenv("HOME", root.constData(), 1);
        setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
        setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
    }

    bool IsValid() const { return m_home.isValid(); }
    QString Path() const { return m_home.path(); }
    int& Argc() { return m_argc; }
    char** Argv() { return m_args.data(); }
    /// Once the QApplication exists: the settings file goes into the home.
    void KeepSettingsHere() const
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Path() + "/config");
    }

private:
    QTemporaryDir m_home;
    char m_nologo[8] = "-nologo";
    std::vector<char*> m_args;
    int m_argc = 0;
};
