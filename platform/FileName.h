#pragma once
#include <QString>
#include <QStringList>

class QWidget;

/// File helpers of the shell layer. Paths are full paths.
class CFileName
{
public:
    explicit CFileName(const QString& name = QString()) : m_strName(name) {}

    /// Nonzero when the path (or, for an empty path, this object's own name) exists.
    int Exist(const QString& path = QString()) const;
    int IsFolder(const QString& path) const;
    int IsFile(const QString& path) const;
    /// Replaces the extension of name in place ("a/b.png", ".bmp" -> "a/b.bmp");
    /// a name without one gets the extension appended.
    static void AlterExtension(QString& name, const QString& extension);

    /// Moves what `paths` names (one path, or paths each ended by a zero
    /// character) to the desktop's trash after the user confirmed. Callers
    /// judge success by Exist afterwards.
    int ShellDeleteItems(QWidget* pOwner, const QString& paths, int nFlags);

    /// Splits a path list: one path or zero-separated paths.
    static QStringList SplitPathList(const QString& paths);

private:
    QString m_strName;
};
