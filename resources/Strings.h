#pragma once

// Texts of the program's string table.
namespace Str
{
inline constexpr const char* kAppTitle = "Vistrel";
inline constexpr const char* kVersion = "Version 1.303";
inline constexpr const char* kAboutCaption = "About Vistrel";
inline constexpr const char* kAcknowledgements =
    "Image decoding after the Windows bitmap, Targa, PICT, PNG, JPEG and TIFF formats; "
    "PNG, JPEG and TIFF through libpng, libjpeg and libtiff.";
inline constexpr const char* kSupportAddress = "support@tarnwell.example";
inline constexpr const char* kNotice = "Copyright (C) Tarnwell. All rights reserved.";
inline constexpr const char* kImageDocString =
    "\n\n\njpg,bmp,png,tif,eps,tga,pct\n.bmp;*.dib;*.rle;*.jpg;*.jpeg;*.jif;*."
    "png;*.tif;*.eps;*.tga;*.pct;*.gif;*.webp;*.heic;*.heif;*.avif;*.jxl\nGraphFileType\nGraphic "
    "File\n";
inline constexpr const char* kProjectDocString =
    "\nProject\nProject Workspace\nVistrel Project Files (*.vrp)\n.vrp\nVistre.Document\nww "
    "Document";
inline constexpr const char* kPreferencesSaved = "Preferences Saved";
inline constexpr const char* kPreferencesCanceled = "Preferences canceled";
inline constexpr const char* kSlideshowNeedsList =
    "Make sure the dirctory's files are in the list window. Click the folder on the tree, and "
    "the files will show up in the list.";
inline constexpr const char* kNoImages = "No images in this directory.";
inline constexpr const char* kTreeBarCaption = "Project Bar";
inline constexpr const char* kListBarCaption = "List Bar";
inline constexpr const char* kProjectTab = "Project";
inline constexpr const char* kDesktopTab = "Desktop";
// File list columns (string table 61451 to 61454) and messages.
inline constexpr const char* kColumnName = "Name";
inline constexpr const char* kColumnSize = "Size";
inline constexpr const char* kColumnType = "Type";
inline constexpr const char* kColumnModified = "Modified";
inline constexpr const char* kDeleteFileCanceled = "delete file canceled.";
inline constexpr const char* kDeleteFilesCanceled = "delete files canceled.";
inline constexpr const char* kDropOnAnItem = "Drop on an item!";
inline constexpr const char* kNewFolderName = "New_Folder";
} // namespace Str
