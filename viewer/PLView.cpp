#include "PLView.h"

#include "DrawDibBmp.h"
#include "IImageHost.h"
#include "MDIChildWnd.h"
#include "MessageBox.h"
#include "PLViewerDoc.h"
#include "Resource.h"
#include "WinApp.h"

#include <QKeyEvent>
#include <QLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>

namespace
{
// Multiply-divide with a 64-bit intermediate, rounded; the operands here are
// sizes and resolutions, never negative.
int MulDiv(long long a, long long b, long long c)
{
    return c > 0 ? int((a * b + c / 2) / c) : 0;
}
} // namespace

CPLView::CPLView(IImageHost& host) : m_host(host)
{
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    // The view paints every pixel itself (picture, strips or fill).
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);

    OnCommand(Id::ID_VIEW_FIT, [this] { ToggleFit(); });
    OnUpdate(Id::ID_VIEW_FIT, [this](CCmdUI& ui) { ui.SetCheck(m_bFit ? 1 : 0); });
    OnCommand(Id::ID_VIEW_DITHER, [this] { ToggleDither(); });
    OnUpdate(Id::ID_VIEW_DITHER, [this](CCmdUI& ui) { ui.SetCheck(m_bDither ? 1 : 0); });
    OnCommand(Id::ID_EDIT_COPY, [this] {
        if (CPLViewerDoc* pDoc = GetDocument(); pDoc && pDoc->GetBitmap())
            pDoc->GetBitmap()->CopyToClipboard();
    });
    OnUpdate(Id::ID_EDIT_COPY, [this](CCmdUI& ui) {
        ui.Enable(GetDocument() && GetDocument()->GetBitmap());
    });
    OnCommand(Id::ID_FILE_PRINT, [this] { OnFilePrint(); });
    OnCommand(Id::ID_FILE_PRINT_PREVIEW, [this] { OnFilePrintPreview(); });

    // The worker's steps run here, on the user-interface thread. The worker
    // is joined before the view goes, so a step never finds it gone.
    m_scrollThread.SetDispatch([this](CLoopAutoScrollThread::StepKind kind, int nPos,
                                      std::shared_ptr<CLoopAutoScrollThread::Reply> reply) {
        return QMetaObject::invokeMethod(
            this,
            [this, kind, nPos, reply] {
                if (reply->Begin())
                    reply->Finish(DoPanStep(kind, nPos));
            },
            Qt::QueuedConnection);
    });
}

CPLView::~CPLView()
{
    StopAutoScroll();
    if (m_host.GetPanView() == this)
        m_host.SetPanView(nullptr);
}

CPLViewerDoc* CPLView::GetDocument() const
{
    return static_cast<CPLViewerDoc*>(CView::GetDocument());
}

QSize CPLView::BitmapSize() const
{
    const CPLViewerDoc* pDoc = GetDocument();
    const CDrawDibBmp* pBmp = pDoc ? pDoc->GetBitmap() : nullptr;
    return pBmp ? QSize(pBmp->GetWidth(), pBmp->GetHeight()) : QSize();
}

void CPLView::OnInitialUpdate()
{
    SetScrollSizes(BitmapSize());
    const QSize bmp = BitmapSize();
    if (bmp.isEmpty())
        return;

    // A hidden frame has not laid out its view yet.
    CMDIChildWnd* pFrame = GetParentFrame();
    if (pFrame && pFrame->layout())
        pFrame->layout()->activate();
    const QSize client = contentsRect().size();
    const int w = bmp.width(), h = bmp.height(), cw = client.width(), ch = client.height();
    if (w >= cw && h >= ch)
        return;

    // Shrink the window to the picture; a side that still scrolls keeps
    // room for its scroll bar.
    QSize want(std::min(w, cw), std::min(h, ch));
    if (w > cw)
        want.rheight() += horizontalScrollBar()->sizeHint().height();
    if (h > ch)
        want.rwidth() += verticalScrollBar()->sizeHint().width();
    want = want.boundedTo(client);
    if (pFrame)
    {
        // Never so small that the title bar's name and buttons are lost:
        // a tiny picture sits centred in the black of a usable window.
        const QSize delta = size() - want;
        pFrame->resize((pFrame->size() - delta)
                           .expandedTo(pFrame->minimumSizeHint())
                           .boundedTo(pFrame->size()));
        if (pFrame->layout())
            pFrame->layout()->activate();
    }
    else
    {
        resize(want);
    }
    UpdateScrollBars();
}

void CPLView::OnActivateView(bool) {}

QString CPLView::GetImageInfoText() const
{
    const CPLViewerDoc* pDoc = GetDocument();
    const CDrawDibBmp* pBmp = pDoc ? pDoc->GetBitmap() : nullptr;
    if (!pBmp)
        return QString();
    return QString::asprintf(" %d x %d; %d bpp; %d kb", pBmp->GetWidth(), pBmp->GetHeight(),
                             pBmp->GetBitsPerPixel(), int(pBmp->GetMemoryUse() / 1024));
}

void CPLView::SetScrollSizes(const QSize& total)
{
    m_totalDev = total.isValid() ? total : QSize(0, 0);
    UpdateScrollBars();
}

void CPLView::UpdateScrollBars()
{
    QScrollBar* hbar = horizontalScrollBar();
    QScrollBar* vbar = verticalScrollBar();
    if (m_bFit || m_totalDev.isEmpty())
    {
        hbar->setRange(0, 0);
        vbar->setRange(0, 0);
        return;
    }
    // Decide the bars from the whole area, not from the viewport the bars
    // shown now leave: a picture that fits once they go must lose them.
    const QSize area = maximumViewportSize();
    const int barW = vbar->sizeHint().width(), barH = hbar->sizeHint().height();
    bool needH = m_totalDev.width() > area.width();
    bool needV = m_totalDev.height() > area.height();
    needV = needV || (needH && m_totalDev.height() > area.height() - barH);
    needH = needH || (needV && m_totalDev.width() > area.width() - barW);
    const QSize client(area.width() - (needV ? barW : 0), area.height() - (needH ? barH : 0));
    const int pageX = std::max(1, m_totalDev.width() / 10);
    const int pageY = std::max(1, m_totalDev.height() / 10);
    hbar->setRange(0, std::max(0, m_totalDev.width() - client.width()));
    hbar->setPageStep(pageX);
    hbar->setSingleStep(std::max(1, pageX / 10));
    vbar->setRange(0, std::max(0, m_totalDev.height() - client.height()));
    vbar->setPageStep(pageY);
    vbar->setSingleStep(std::max(1, pageY / 10));
}

CRect CPLView::GetDestinationRect() const
{
    const QSize bmp = BitmapSize();
    const QSize client = viewport()->size();
    if (m_bFit)
        return CRect{0, 0, client.width(), client.height()};
    const int dx = std::max(0, client.width() - bmp.width()) / 2;
    const int dy = std::max(0, client.height() - bmp.height()) / 2;
    return CRect{dx, dy, dx + bmp.width(), dy + bmp.height()};
}

CRect CPLView::PrintDestination(int pageWidth, int pageHeight, int dpiX, int dpiY, int w, int h)
{
    int dw = pageWidth;
    int dh = MulDiv(pageWidth, (long long)dpiY * h, (long long)dpiX * w);
    if (dh > pageHeight)
    {
        dh = pageHeight;
        dw = MulDiv(pageHeight, (long long)dpiX * w, (long long)dpiY * h);
    }
    return CRect{0, 0, dw, dh};
}

void CPLView::EraseBackground(QPainter& dc)
{
    if (m_bFit)
        return;
    const QSize bmp = BitmapSize();
    const int w = bmp.width(), h = bmp.height();
    const int cw = viewport()->width(), ch = viewport()->height();
    const int d = w - cw;
    if (d >= 0 && h >= ch)
        return;
    if (d <= 5)
    {
        if (d < 0)
        {
            dc.fillRect(QRect(0, 0, -d, ch), Qt::black);
            dc.fillRect(QRect(cw + d, 0, -d, ch), Qt::black);
        }
        // The strips leave the bands above and below a picture of the
        // window's width uncovered; paint them black too.
        const CRect dst = GetDestinationRect();
        if (h < ch)
        {
            dc.fillRect(QRect(0, 0, cw, dst.top), Qt::black);
            dc.fillRect(QRect(0, dst.bottom, cw, ch - dst.bottom), Qt::black);
        }
        return;
    }
    dc.fillRect(QRect(0, 0, cw, ch), QColor(0xE0, 0xE0, 0xE0));
}

void CPLView::paintEvent(QPaintEvent*)
{
    QPainter dc(viewport());
    CPLViewerDoc* pDoc = GetDocument();
    CDrawDibBmp* pBmp = pDoc ? pDoc->GetBitmap() : nullptr;
    if (!pBmp)
    {
        dc.fillRect(viewport()->rect(), palette().window());
        return;
    }
    EraseBackground(dc);
    CRect dst = GetDestinationRect();
    if (!m_bFit)
    {
        const int sx = horizontalScrollBar()->value(), sy = verticalScrollBar()->value();
        dst = CRect{dst.left - sx, dst.top - sy, dst.right - sx, dst.bottom - sy};
    }
    const CRect src{0, 0, pBmp->GetWidth(), pBmp->GetHeight()};
    pBmp->Render(dc, &dst, &src, m_bDither, &pBmp->GetPalette(), false);
}

void CPLView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CPLView::scrollContentsBy(int dx, int dy)
{
    // A picture at 1:1 that covers the window moves as a whole: what is on
    // screen shifts and only the strip that comes in is painted (panning
    // scrolls one pixel a frame).
    const QSize bmp = BitmapSize();
    if (!m_bFit && bmp.width() >= viewport()->width() && bmp.height() >= viewport()->height())
        viewport()->scroll(dx, dy);
    else
        viewport()->update();
}

void CPLView::ScrollLine(Qt::Orientation orientation, bool bForward)
{
    QScrollBar* bar = orientation == Qt::Vertical ? verticalScrollBar() : horizontalScrollBar();
    bar->triggerAction(bForward ? QAbstractSlider::SliderSingleStepAdd
                                : QAbstractSlider::SliderSingleStepSub);
}

void CPLView::keyPressEvent(QKeyEvent* event)
{
    QScrollBar* hbar = horizontalScrollBar();
    QScrollBar* vbar = verticalScrollBar();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key())
    {
    case Qt::Key_PageUp:
        vbar->triggerAction(QAbstractSlider::SliderPageStepSub);
        break;
    case Qt::Key_PageDown:
        vbar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        break;
    case Qt::Key_End:
        (ctrl ? vbar : hbar)->triggerAction(QAbstractSlider::SliderToMaximum);
        break;
    case Qt::Key_Home:
        (ctrl ? vbar : hbar)->triggerAction(QAbstractSlider::SliderToMinimum);
        break;
    case Qt::Key_Left:
        hbar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Up:
        vbar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Right:
        hbar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    case Qt::Key_Down:
        vbar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    case Qt::Key_Space:
    case Qt::Key_Backspace:
        // The next and previous picture of the list, as other viewers step:
        // the commands' own keys (Ctrl+Alt+Down and Up) switch workspaces on
        // most Linux desktops.
        if (event->modifiers() != Qt::NoModifier)
        {
            QAbstractScrollArea::keyPressEvent(event);
            return;
        }
        RunIfEnabled(event->key() == Qt::Key_Space ? Id::ID_DIRECTORY_MOVE_DOWN
                                                   : Id::ID_DIRECTORY_MOVE_UP);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CPLView::RunIfEnabled(int nID)
{
    CWinApp* pApp = CWinApp::Get();
    if (!pApp)
        return;
    if (pApp->Router().Query(nID).m_bEnabled)
        pApp->Router().Route(nID);
}

void CPLView::ToggleFit()
{
    m_bFit = !m_bFit;
    SetScrollSizes(BitmapSize());
    viewport()->update();
}

void CPLView::ToggleDither()
{
    m_bDither = !m_bDither;
    viewport()->update();
}

void CPLView::StartAutoScroll()
{
    // One step a screen frame, at most 120 a second.
    const qreal rate = screen() ? screen()->refreshRate() : 0;
    const qreal steps = rate >= 1 ? std::min<qreal>(rate, 120) : 60;
    m_scrollThread.SetStepInterval(std::chrono::microseconds(qRound64(1e6 / steps)));
    m_scrollThread.SetPanDelay(m_nPanDelay);
    try
    {
        m_scrollThread.Start();
        m_scrollThread.SetPriority(2);
        m_bAutoScrolling = true;
    }
    catch (const CThreadException& e)
    {
        AfxMessageBox(QString::fromStdString(e.GetText()));
        m_bAutoScrolling = false;
    }
}

void CPLView::StopAutoScroll()
{
    int nExitCode = 0;
    m_scrollThread.Stop(nExitCode, -1);
    m_bAutoScrolling = false;
}

CLoopAutoScrollThread::Positions CPLView::DoPanStep(CLoopAutoScrollThread::StepKind kind, int nPos)
{
    QScrollBar* vbar = verticalScrollBar();
    QScrollBar* hbar = horizontalScrollBar();
    if (kind == CLoopAutoScrollThread::StepKind::Vertical)
        vbar->setValue(nPos);
    else if (kind == CLoopAutoScrollThread::StepKind::Horizontal)
        hbar->setValue(nPos);
    return {vbar->value(), hbar->value(), vbar->maximum(), hbar->maximum()};
}

void CPLView::PrintPage(QPrinter* printer)
{
    CPLViewerDoc* pDoc = GetDocument();
    CDrawDibBmp* pBmp = pDoc ? pDoc->GetBitmap() : nullptr;
    if (!pBmp)
        return;
    QPainter dc(printer);
    const QRect page = printer->pageLayout().paintRectPixels(printer->resolution());
    const CRect dst = PrintDestination(page.width(), page.height(), printer->logicalDpiX(),
                                       printer->logicalDpiY(), pBmp->GetWidth(),
                                       pBmp->GetHeight());
    const CRect src{0, 0, pBmp->GetWidth(), pBmp->GetHeight()};
    pBmp->Render(dc, &dst, &src, m_bDither, &pBmp->GetPalette(), false);
}

void CPLView::OnFilePrint()
{
    QPrinter& printer = m_host.GetPrinter();
    QPrintDialog dialog(&printer, this);
    // One picture is one page.
    dialog.setMinMax(1, 1);
    if (dialog.exec() == QDialog::Accepted)
        PrintPage(&printer);
}

void CPLView::OnFilePrintPreview()
{
    QPrinter& printer = m_host.GetPrinter();
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* p) { PrintPage(p); });
    preview.exec();
}
