#pragma once
#include <QString>

/// What the project tree needs of the browser around it: opening a picture,
/// showing a folder in the list, and the current path. The application
/// object implements it and the tree bar hands it to the tree it makes.
class IBrowser
{
public:
    virtual ~IBrowser() = default;

    /// Whether the browser opens the file as a picture.
    virtual bool IsImageFile(const QString& path) const = 0;
    /// Opens the picture in an image window; with bReplace in place of the
    /// first open one. True when a window opened.
    virtual bool OpenImage(const QString& path, bool bReplace) = 0;
    /// Shows the folder's entries in the list.
    virtual void ShowFolder(const QString& path) = 0;
    /// The path "Save file as BMP" and the other commands start from.
    virtual void SetCurrentImage(const QString& path) = 0;
};
