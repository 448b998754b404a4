#include "PreviewPicture.h"

#include "AnyPicDecoder.h"
#include "ColourManager.h"
#include "DIBSection.h"
#include "DibImage.h"
#include "NativePath.h"
#include "TextException.h"

#include <QPainter>
#include <QPointer>

#include <sys/stat.h>

CPreviewPicture::CPreviewPicture(QWidget* pParent) : QWidget(pParent)
{
    setAccessibleName(QStringLiteral("Preview picture"));
    m_worker = std::thread([this] { Work(); });
}

CPreviewPicture::~CPreviewPicture()
{
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
        m_pPending.reset();
    }
    m_wake.notify_one();
    m_worker.join();
}

void CPreviewPicture::LoadPreview(const QString& path)
{
    const quint64 generation = ++m_nGeneration;
    // The name's own bytes: Qt's file classes miss names that are not UTF-8.
    struct stat st;
    if (path.isEmpty() || stat(NativePath::Encode(path).constData(), &st) != 0 ||
        !S_ISREG(st.st_mode))
    {
        Deliver(generation, QImage(), QSize());
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_pPending = std::make_unique<Request>(Request{path, Area().size(), generation});
    }
    m_wake.notify_one();
}

void CPreviewPicture::ClearPreview()
{
    ++m_nGeneration;
    m_bHasImage = false;
    m_image = QImage();
    update();
}

QRect CPreviewPicture::PlaceOf(QSize picture, const QRect& area)
{
    const int w = picture.width(), h = picture.height(), W = area.width(), H = area.height();
    if (w <= 0 || h <= 0 || W <= 0 || H <= 0)
        return QRect();
    int dw = w, dh = h;
    if (w > W || h > H)
    {
        // s = 1 / max(w / W, h / H), in integers: the side that limits is exact.
        if (qint64(w) * H >= qint64(h) * W)
        {
            dw = W;
            dh = int(qint64(h) * W / w);
        }
        else
        {
            dh = H;
            dw = int(qint64(w) * H / h);
        }
    }
    return QRect(area.left() + (W - dw) / 2, area.top() + (H - dh) / 2, dw, dh);
}

void CPreviewPicture::Work()
{
    // A decoder of its own: decoders keep state while they work.
    CAnyPicDecoder decoder;
    for (;;)
    {
        std::unique_ptr<Request> pRequest;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_bStop || m_pPending; });
            if (m_bStop)
                return;
            pRequest = std::move(m_pPending);
        }
        QImage scaled;
        QSize picture;
        try
        {
            CDIBSection bmp;
            // No larger than the area: JPEGs decode at a fraction of their size.
            decoder.DecodeFileScaled(NativePath::Encode(pRequest->path).toStdString(), bmp,
                                     pRequest->area.width(), pRequest->area.height());
            CColourManager::SrgbToDisplay(bmp);
            CDibImage wrapped;
            if (wrapped.Attach(bmp))
            {
                picture = QSize(bmp.GetWidth(), bmp.GetHeight());
                const QRect place = PlaceOf(picture, QRect(QPoint(0, 0), pRequest->area));
                // The wrapper is upside down and shares the bitmap's rows:
                // the scaled copy owns its pixels.
                scaled = wrapped.GetImage()
                             .scaled(place.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .mirrored(false, true);
            }
        }
        catch (const CTextException&)
        {
            // An undecodable file shows no preview; the dialog says nothing.
        }
        catch (const std::exception&)
        {
        }
        QPointer<CPreviewPicture> pSelf = this;
        QMetaObject::invokeMethod(
            this,
            [pSelf, generation = pRequest->generation, scaled, picture]
            {
                if (pSelf)
                    pSelf->Deliver(generation, scaled, picture);
            },
            Qt::QueuedConnection);
    }
}

void CPreviewPicture::Deliver(quint64 generation, const QImage& image, QSize picture)
{
    if (generation != m_nGeneration)
        return; // a newer selection is on its way
    m_bHasImage = !image.isNull();
    m_image = image;
    m_picture = picture;
    update();
}

void CPreviewPicture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect area = Area();
    painter.fillRect(area, m_bHasImage ? palette().button() : palette().dark());
    if (m_bHasImage)
        painter.drawImage(PlaceOf(m_picture, area), m_image);
}
