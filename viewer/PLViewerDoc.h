#pragma once
#include "AnimationPlayer.h"
#include "Document.h"
#include "PictureLoader.h"

#include <QSize>

#include <functional>
#include <memory>

class CBmpPyramid;
class CDrawDibBmp;
class IImageHost;

/// An image document: one decoded picture. It is never modified, so it
/// never asks to be saved. Files are read with the host's decoder.
class CPLViewerDoc : public CDocument
{
public:
    explicit CPLViewerDoc(IImageHost& host);
    ~CPLViewerDoc() override;

    /// Starts decoding the file off the user-interface thread and returns
    /// at once; the views show the picture as its passes come. A decoder
    /// failure shows its text and closes the document, as a failed open.
    bool OnOpenDocument(const QString& path) override;
    /// Takes a picture decoded elsewhere (the slideshow decodes ahead on a
    /// worker), with the drawing copies made there when it has them, as the
    /// document's contents, as if it had been opened from path; the path does
    /// not enter the recent-file list.
    void OpenDecoded(const QString& path, CPictureLoader::Pass&& pass);
    void DeleteContents() override;
    /// Called once, before the views hear of it, when the picture's first
    /// pass has come (true) or its decode has failed (false): a window that
    /// waits hidden for its picture shows then.
    void SetOnArrival(std::function<void(bool bOk)> onArrival) { m_onArrival = std::move(onArrival); }

    /// The picture (of an animation, the frame on screen), or null while
    /// nothing is loaded (or only its first pass). Its colours are sRGB.
    CDrawDibBmp* GetBitmap() const { return m_pBmp.get(); }
    /// The picture as it is drawn: converted to the display's colour
    /// profile when the display has one, else the picture itself.
    CDrawDibBmp* GetDisplayBitmap() const { return m_pDisplay ? m_pDisplay.get() : m_pBmp.get(); }
    /// The reduced copies of the picture as drawn, made when first needed.
    const CBmpPyramid* GetPyramid();
    /// The player of an animated picture (it plays nothing for a still one).
    CAnimationPlayer& GetPlayer() { return m_player; }
    /// A stand-in for the picture while it is being decoded: a scaled
    /// decode to be shown at the picture's size, or null.
    CDrawDibBmp* GetFirstPass() const { return m_pFirstPass.get(); }
    /// The upright size of the picture as it will be shown, known from the
    /// first pass on; empty before.
    QSize GetPictureSize() const { return m_pictureSize; }
    /// Whether a pass of the picture is still to come.
    bool IsLoading() const { return m_loader.IsLoading(); }
    /// The size of the picture's file in bytes, or -1.
    qint64 GetFileSize() const { return m_nFileSize; }

    /// Turns the picture in memory by an EXIF orientation (6 a quarter to the
    /// right, 8 to the left, 2 mirrored left to right, 4 top to bottom); the
    /// file is never changed. Nothing happens while it is still loading.
    void Turn(int orientation);

    /// Writes the picture as a Windows bitmap beside the document's file
    /// (same name, extension ".bmp"). An existing file is replaced only after
    /// the user agreed, and only once the new file is complete. True when written.
    bool SaveAsBmp();

private:
    void SetOpened(const QString& path, bool bAddToMRU);
    /// Plays the file when it holds an animation.
    void StartPlayer(const QString& path);
    /// Puts an animation's frame in place of the one shown, handing that back.
    CAnimationPlayer::Frame ShowFrame(CAnimationPlayer::Frame frame);
    void OnPass(const std::shared_ptr<CPictureLoader::Pass>& pass);
    /// Shows the decoder's message and closes the document.
    void FailOpen(const QString& text);
    /// Tells the views that what they show has changed.
    void NotifyViews(bool bFinal);

    IImageHost& m_host;
    std::unique_ptr<CDrawDibBmp> m_pBmp;
    std::unique_ptr<CDrawDibBmp> m_pDisplay; // m_pBmp for the display's profile, or null
    std::unique_ptr<CDrawDibBmp> m_pFirstPass;
    std::unique_ptr<CBmpPyramid> m_pPyramid;
    QSize m_pictureSize;
    qint64 m_nFileSize = -1;
    bool m_bWasRecent = false; // the path was in the recent-file list before this open
    std::function<void(bool)> m_onArrival;
    CPictureLoader m_loader;
    CAnimationPlayer m_player;
};
