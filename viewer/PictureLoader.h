#pragma once
#include <QObject>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class CBmpPyramid;
class CDrawDibBmp;

/// Decodes an image document's picture off the user-interface thread.
///
/// A JPEG file larger than the first-pass size comes first as libjpeg's
/// DCT-scaled decode (1/2 ... 1/8) that still covers that size, then at full
/// size with its reduced copies; any other file comes once, at full size.
/// Passes arrive at the receiver on the loader's thread, in that order. A
/// loader that goes away drops what is still being decoded for it; the
/// decode itself runs out on its worker.
///
/// One picture can be decoded ahead (the next one of a list): a loader that
/// starts on that file takes over the decode under way, or its result.
class CPictureLoader : public QObject
{
    Q_OBJECT
public:
    struct Pass
    {
        std::unique_ptr<CDrawDibBmp> pBmp;      // null on failure
        std::unique_ptr<CDrawDibBmp> pDisplay;  // the final pass for the display's profile, or null
        std::unique_ptr<CBmpPyramid> pPyramid;  // the final pass's reduced copies
        QSize fullSize;                         // the upright size of the whole picture
        bool bFinal = false;                    // the full-size picture, or the failure
        int nCode = 0;                          // the decoder's error code; 0 on success
        std::string error;                      // the decoder's text on failure
    };
    using Receiver = std::function<void(const std::shared_ptr<Pass>&)>;

    explicit CPictureLoader(Receiver receiver);

    /// Makes a final pass's copy for the display's profile and its reduced
    /// copies, off the user-interface thread. Throws std::bad_alloc or
    /// CTextException (code 10) when memory is short.
    static void AddDrawing(Pass& pass);
    ~CPictureLoader() override;

    /// Starts decoding the file (a path in file-system bytes); firstPass
    /// empty decodes at full size only.
    void Start(const std::string& path, QSize firstPass);
    /// Whether a pass is still to come.
    bool IsLoading() const { return m_bLoading; }

    /// Decodes the file ahead of time (firstPass as for Start, empty for
    /// the full size only), in place of the one decoded ahead before, unless
    /// a loader took that one over already.
    static void DecodeAhead(const std::string& path, QSize firstPass = QSize());
    /// The first-pass size of an image window: one that covers any window
    /// the primary screen can hold; empty without a screen.
    static QSize FirstPassSize();
    /// The file being decoded ahead, or empty.
    static std::string GetAheadPath();
    /// Forgets the picture decoded ahead.
    static void DropAhead();

    struct Job; // shared by the loader and the worker

private:
    void Receive(const std::shared_ptr<Pass>& pass);

    Receiver m_receiver;
    std::shared_ptr<Job> m_pJob;
    bool m_bLoading = false;
};
