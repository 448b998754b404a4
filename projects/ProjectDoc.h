#pragma once
#include "Document.h"

#include <QByteArray>
#include <QString>

class CProjectView;

/// A project document: the ".vrp" file of a project. The file has no schema:
/// its whole content is the text of the document's (hidden) view. The
/// project's identity comes from where the file lies: its folder is the
/// project folder, its name without the extension the project name.
class CProjectDoc : public CDocument
{
public:
    CProjectDoc() = default;

    /// Reads the whole file into the view and shows the project in the tree.
    /// A file that cannot be read leaves the tree as it was.
    bool OnOpenDocument(const QString& path) override;
    /// Writes the view's text byte for byte, through a temporary file that
    /// replaces the old one only when it is complete.
    bool OnSaveDocument(const QString& path) override;
    /// Records the path in the recent project list first.
    void SetPathName(const QString& path, bool bAddToMRU = true) override;

    CProjectView* GetView() const;

    /// Runs the new-project wizard, makes the project folder and file, opens
    /// the project and copies the chosen folder into it.
    void CreateProject();
    /// True when the folder exists or could be made with its missing levels.
    static bool EnsureProjectDirectory(const QString& path);
    /// Opens dir/name.vrp, writing it first (the name and CR LF) when it
    /// does not exist; false when it could not be written.
    static bool CreateProjectFile(const QString& dir, const QString& name);

    /// "Vistrel Projects" in the user's pictures folder, made on first use.
    static QString ProjectsDirectory();
    /// The open project: the first document of the project template, or null.
    static CProjectDoc* GetOpenProject();
    /// The text of a new project file: the name, then CR LF.
    static QByteArray NewProjectText(const QString& name);
    /// The largest project file the view holds.
    static constexpr qint64 kMaxTextSize = 16 * 1024 * 1024;

    /// Why the entry at `path` must keep its name while the project tree
    /// shows its project (CProjectTreeCtrl::RenameRefusal); empty when it may
    /// be renamed.
    static QString RenameRefusal(const QString& path);
    /// The open project, its tree and the recent projects follow a rename of
    /// a folder above the project or of an entry inside it.
    static void FollowRename(const QString& from, const QString& to);

    // The application's project commands.
    static void OnNewProject();
    static void OnOpenProject();
    static void OnSaveProject();
    static void OnSaveProjectAs();
    static void OnCloseProject();
};
