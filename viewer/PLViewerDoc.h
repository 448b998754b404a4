#pragma once
#include "Document.h"

#include <memory>

class CDrawDibBmp;
class IImageHost;

/// An image document: one decoded picture. It is never modified, so it
/// never asks to be saved. Files are read with the host's decoder.
class CPLViewerDoc : public CDocument
{
public:
    explicit CPLViewerDoc(IImageHost& host);
    ~CPLViewerDoc() override;

    /// Decodes the file; a decoder failure shows its text and fails the open.
    bool OnOpenDocument(const QString& path) override;
    /// Takes a picture decoded elsewhere (the slideshow decodes ahead on a
    /// worker) as the document's contents, as if it had been opened from path;
    /// the path does not enter the recent-file list.
    void OpenDecoded(const QString& path, std::unique_ptr<CDrawDibBmp> pBmp);
    void DeleteContents() override;

    /// The picture, or null while nothing is loaded.
    CDrawDibBmp* GetBitmap() const { return m_pBmp.get(); }

    /// Writes the picture as a Windows bitmap beside the document's file
    /// (same name, extension ".bmp"). An existing file is replaced only after
    /// the user agreed, and only once the new file is complete. True when written.
    bool SaveAsBmp();

private:
    void SetOpened(const QString& path, bool bAddToMRU);

    IImageHost& m_host;
    std::unique_ptr<CDrawDibBmp> m_pBmp;
};
