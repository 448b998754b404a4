#pragma once
#include "AppTestSupport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

class CProjectTreeCtrl;
class QTreeWidgetItem;
class QWidget;

/// A program with projects in the test's own pictures folder.
class ProjectTest : public AppTest
{
protected:
    /// Starts with an empty projects folder and trash.
    void SetUp() override;

    /// The projects folder with project `name`: its folder, its project file
    /// holding `text`, and the given entries (a name ending in "/" is a
    /// folder). Returns the project file's path.
    QString MakeProject(const QString& name, const QByteArray& text,
                        const QStringList& entries = {}) const;
    static void WriteFile(const QString& path, const QByteArray& bytes);
    static QByteArray ReadFile(const QString& path);
    /// Opens the project through the application, as the commands do.
    void OpenProject(const QString& path);

    CProjectTreeCtrl* Tree() const;
    /// The child texts of an item ("" for a placeholder).
    static QStringList ChildTexts(const QTreeWidgetItem* pItem);
    QTreeWidgetItem* ChildNamed(const QTreeWidgetItem* pItem, const QString& text) const;
    /// Every entry below dir (hidden ones too) as a path relative to it,
    /// folders ending in "/", sorted.
    static QStringList DiskEntries(const QString& dir);
    /// What the project tree shows below its root, every folder expanded,
    /// in the same form.
    QStringList TreeEntries() const;
    /// Makes the item the current one, as a click on it does.
    void Select(QTreeWidgetItem* pItem);

    /// Runs fn on the modal dialog that appears while the command runs.
    static void OnModal(std::function<void(QWidget*)> fn);
    /// The text of the label edit box while one is open, typed then ended
    /// with Enter (bCommit) or Escape.
    void EndLabelEdit(const QString& text, bool bCommit);
};
