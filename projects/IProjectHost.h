#pragma once
#include <QString>

class CDocTemplate;
class CProjectTreeCtrl;

/// What the project document and the project commands need of the program:
/// the project template, opening a project file, the open project's path and
/// the project tree. The application object installs itself as the one host
/// while it lives.
class IProjectHost
{
public:
    virtual ~IProjectHost() = default;

    /// The installed host, or null.
    static IProjectHost* Get() { return s_pHost; }
    static void Install(IProjectHost* pHost) { s_pHost = pHost; }

    virtual CDocTemplate* GetProjectTemplate() const = 0;
    /// Closes every image and the open project, then opens the project file.
    virtual void OpenProjectFile(const QString& path) = 0;
    /// The full path of the open project's file.
    virtual QString GetProjectPath() const = 0;
    virtual void SetProjectPath(const QString& path) = 0;
    /// The tree that shows the project, or null.
    virtual CProjectTreeCtrl* GetProjectTree() const = 0;

private:
    static inline IProjectHost* s_pHost = nullptr;
};
