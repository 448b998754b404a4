#pragma once
#include <QImage>
#include <QWidget>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

/// The picture area of the open dialog: a preview of the selected file,
/// decoded by the program's own decoders on a worker thread and scaled to
/// fit the area (never enlarged, centred). A file that cannot be decoded, or
/// a folder, leaves the area empty (shadow-coloured).
class CPreviewPicture : public QWidget
{
    Q_OBJECT
public:
    explicit CPreviewPicture(QWidget* pParent = nullptr);
    ~CPreviewPicture() override;

    /// Starts decoding the file; the preview appears when it is ready. A
    /// newer request makes an older result stale: it is dropped.
    void LoadPreview(const QString& path);
    void ClearPreview();
    bool HasImage() const { return m_bHasImage; }
    /// Where a w x h picture is drawn in an area (left, top, W, H): scaled
    /// by min(1, W / w, H / h) and centred, halves rounded toward zero.
    static QRect PlaceOf(QSize picture, const QRect& area);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Request
    {
        QString path;
        QSize area;
        quint64 generation = 0;
    };
    void Work();
    void Deliver(quint64 generation, const QImage& image, QSize picture);
    QRect Area() const { return rect().adjusted(1, 1, -1, -1); }

    bool m_bHasImage = false;
    QImage m_image;  // the picture already scaled to its place
    QSize m_picture; // the decoded picture's size (already no larger than the area)
    quint64 m_nGeneration = 0;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::unique_ptr<Request> m_pPending;
    bool m_bStop = false;
    std::thread m_worker;
};
