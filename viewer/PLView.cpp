#include "PLView.h"

#include "DrawDibBmp.h"
#include "IImageHost.h"
#include "MDIChildWnd.h"
#include "MessageBox.h"
#include "PLViewerDoc.h"
#include "Resource.h"
#include "WinApp.h"
#include "ViewPreferences.h"
#include "ZoomModel.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
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

CPLView::CPLView(IImageHost& host) : m_host(host), m_backdrop(ViewPreferences::GetBackdrop())
{
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    // The view paints every pixel itself (picture, strips or fill).
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);

    OnCommand(Id::ID_VIEW_FIT, [this] { ToggleFit(); });
    OnUpdate(Id::ID_VIEW_FIT, [this](CCmdUI& ui) { ui.SetCheck(m_bFit ? 1 : 0); });
    OnCommand(Id::ID_VIEW_ZOOM_IN, [this] { ZoomStep(true); });
    OnCommand(Id::ID_VIEW_ZOOM_OUT, [this] { ZoomStep(false); });
    OnCommand(Id::ID_VIEW_ZOOM_FIT, [this] { ZoomToFit(); });
    OnUpdate(Id::ID_VIEW_ZOOM_FIT, [this](CCmdUI& ui) { ui.SetCheck(m_bZoomFit ? 1 : 0); });
    OnCommand(Id::ID_VIEW_ZOOM_ACTUAL, [this] { ZoomTo(1.0, viewport()->rect().center()); });
    OnUpdate(Id::ID_VIEW_ZOOM_ACTUAL, [this](CCmdUI& ui)
             { ui.SetCheck(!m_bFit && !m_bZoomFit && m_dZoom == 1.0 ? 1 : 0); });
    const auto hasPicture = [this](CCmdUI& ui)
    { ui.Enable(GetDocument() && GetDocument()->GetBitmap()); };
    for (const auto& [id, orientation] : {std::pair{Id::ID_VIEW_ROTATE_LEFT, 8},
                                          std::pair{Id::ID_VIEW_ROTATE_RIGHT, 6},
                                          std::pair{Id::ID_VIEW_FLIP_HORIZONTAL, 2},
                                          std::pair{Id::ID_VIEW_FLIP_VERTICAL, 4}})
    {
        OnCommand(id, [this, o = orientation] { Turn(o); });
        OnUpdate(id, hasPicture);
    }
    OnCommand(Id::ID_VIEW_DITHER, [this] { ToggleDither(); });
    OnUpdate(Id::ID_VIEW_DITHER, [this](CCmdUI& ui) { ui.SetCheck(m_bDither ? 1 : 0); });
    OnCommand(Id::ID_EDIT_COPY, [this] {
        if (CPLViewerDoc* pDoc = GetDocument(); pDoc && pDoc->GetBitmap())
            pDoc->GetBitmap()->CopyToClipboard();
    });
    OnUpdate(Id::ID_EDIT_COPY, hasPicture);
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
    return pDoc ? pDoc->GetPictureSize() : QSize();
}

void CPLView::OnInitialUpdate()
{
    UpdateScrollSizes();
    if (CMDIChildWnd* pFrame = GetParentFrame())
        m_initialFrame = pFrame->geometry();
    FitFrameToPicture();
}

void CPLView::OnPictureChanged(bool)
{
    UpdateScrollSizes();
    FitFrameToPicture();
    UpdateCursor();
    viewport()->update();
}

void CPLView::OnFrameChanged()
{
    viewport()->update();
}

void CPLView::FitFrameToPicture()
{
    const QSize bmp = BitmapSize();
    if (bmp.isEmpty() || m_bSized)
        return;
    m_bSized = true;
    // A window given its place (a stored placement, maximised) since it
    // was made keeps it, as it does when the picture is there at once.
    if (CMDIChildWnd* pFrame = GetParentFrame();
        pFrame && (pFrame->isMaximized() || pFrame->geometry() != m_initialFrame))
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

QString CPLView::GetZoomText() const
{
    if (BitmapSize().isEmpty())
        return QString();
    const double percent = GetZoom() * 100;
    // Below 10% a whole number hides the steps.
    return percent < 9.95 ? QStringLiteral(" %1%").arg(percent, 0, 'f', 1)
                          : QStringLiteral(" %1%").arg(qRound(percent));
}

QString CPLView::GetImageInfoText() const
{
    const CPLViewerDoc* pDoc = GetDocument();
    const CDrawDibBmp* pBmp = pDoc ? pDoc->GetBitmap() : nullptr;
    if (!pBmp)
        return QString();
    return QString::asprintf(" %d x %d; %d bpp; %d kb", pBmp->GetWidth(), pBmp->GetHeight(),
                             pBmp->GetBitsPerPixel(), int(pBmp->GetMemoryUse() / 1024));
}

QSize CPLView::ScaledSize() const
{
    return ZoomModel::ScaledSize(BitmapSize(), GetZoom());
}

double CPLView::GetZoom() const
{
    const QSize bmp = BitmapSize();
    if (m_bFit)
        return ZoomModel::FitZoom(bmp, viewport()->size());
    if (m_bZoomFit)
        return std::min(1.0, ZoomModel::FitZoom(bmp, maximumViewportSize()));
    return m_dZoom;
}

void CPLView::UpdateScrollSizes()
{
    m_totalDev = m_bFit || m_bZoomFit ? QSize(0, 0) : ScaledSize();
    UpdateScrollBars();
}

QSize CPLView::UpdateScrollBars()
{
    QScrollBar* hbar = horizontalScrollBar();
    QScrollBar* vbar = verticalScrollBar();
    if (m_bFit || m_totalDev.isEmpty())
    {
        hbar->setRange(0, 0);
        vbar->setRange(0, 0);
        return maximumViewportSize();
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
    return client;
}

CRect CPLView::GetDestinationRect() const
{
    const QSize bmp = ScaledSize();
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
    const QSize bmp = ScaledSize();
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
    CPictureRenderer renderer;
    renderer.m_pFull = pDoc ? pDoc->GetDisplayBitmap() : nullptr;
    renderer.m_pFirstPass = pDoc ? pDoc->GetFirstPass() : nullptr;
    if (!renderer.m_pFull && !renderer.m_pFirstPass)
    {
        dc.fillRect(viewport()->rect(), palette().window());
        return;
    }
    // Reduced copies only for drawing below 1:1.
    const bool bReduced = m_bFit ? GetZoom() < 1 || BitmapSize().width() > viewport()->width() ||
                                       BitmapSize().height() > viewport()->height()
                                 : GetZoom() < 1;
    if (renderer.m_pFull && bReduced)
        renderer.m_pPyramid = pDoc->GetPyramid();
    EraseBackground(dc);
    CRect dst = GetDestinationRect();
    if (!m_bFit)
    {
        const int sx = horizontalScrollBar()->value(), sy = verticalScrollBar()->value();
        dst = CRect{dst.left - sx, dst.top - sy, dst.right - sx, dst.bottom - sy};
    }
    renderer.Draw(dc, QRect(dst.left, dst.top, dst.Width(), dst.Height()), m_bDither, m_backdrop);
}

void CPLView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollSizes();
    UpdateCursor();
}

void CPLView::scrollContentsBy(int dx, int dy)
{
    // A picture at 1:1 that covers the window moves as a whole: what is on
    // screen shifts and only the strip that comes in is painted (panning
    // scrolls one pixel a frame).
    const QSize bmp = ScaledSize();
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
    case Qt::Key_Plus:
    case Qt::Key_Minus:
    case Qt::Key_Equal:
        // Ctrl with the keypad's plus cycles the windows; Shift makes "+"
        // on many keyboards.
        if (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier))
        {
            QAbstractScrollArea::keyPressEvent(event);
            return;
        }
        ZoomStep(event->key() != Qt::Key_Minus);
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
    // Off again is 1:1, whatever zoom there was before.
    m_bFit = !m_bFit;
    m_bZoomFit = false;
    m_dZoom = 1.0;
    UpdateScrollSizes();
    UpdateCursor();
    viewport()->update();
}

void CPLView::ZoomTo(double zoom, QPoint anchor)
{
    zoom = ZoomModel::Clamp(zoom);
    const QSize bmp = BitmapSize();
    const double before = GetZoom();
    const QPoint offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
    m_bFit = m_bZoomFit = false;
    m_dZoom = zoom;
    m_totalDev = ScaledSize();
    const QSize client = UpdateScrollBars();
    const QPoint at = ZoomModel::AnchoredOffset(bmp, client, offset, before, zoom, anchor);
    horizontalScrollBar()->setValue(at.x());
    verticalScrollBar()->setValue(at.y());
    UpdateCursor();
    viewport()->update();
}

void CPLView::ZoomStep(bool bIn, const QPoint* pAnchor)
{
    ZoomTo(ZoomModel::Step(GetZoom(), bIn), pAnchor ? *pAnchor : viewport()->rect().center());
}

void CPLView::ZoomToFit()
{
    m_bFit = false;
    m_bZoomFit = true;
    UpdateScrollSizes();
    UpdateCursor();
    viewport()->update();
}

void CPLView::ToggleZoomFit(QPoint anchor)
{
    if (m_bZoomFit || m_bFit)
        ZoomTo(1.0, anchor);
    else
        ZoomToFit();
}

void CPLView::SetBackdrop(const CPictureRenderer::Backdrop& backdrop)
{
    m_backdrop = backdrop;
    viewport()->update();
}

void CPLView::Turn(int orientation)
{
    CPLViewerDoc* pDoc = GetDocument();
    if (!pDoc)
        return;
    // The same part of the picture stays in the middle of the window.
    const QSize before = ScaledSize();
    const QPoint centre = viewport()->rect().center();
    const QPoint offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const QPoint o = ZoomModel::Origin(before, viewport()->size(), offset);
    double fx = before.width() > 0 ? double(centre.x() - o.x()) / before.width() : 0.5;
    double fy = before.height() > 0 ? double(centre.y() - o.y()) / before.height() : 0.5;
    if (orientation == 6)
        std::tie(fx, fy) = std::pair(1 - fy, fx);
    else if (orientation == 8)
        std::tie(fx, fy) = std::pair(fy, 1 - fx);
    else if (orientation == 2)
        fx = 1 - fx;
    else
        fy = 1 - fy;
    pDoc->Turn(orientation);
    const QSize after = ScaledSize();
    horizontalScrollBar()->setValue(int(fx * after.width()) - centre.x());
    verticalScrollBar()->setValue(int(fy * after.height()) - centre.y());
}

void CPLView::UpdateCursor()
{
    if (m_bDragging)
        viewport()->setCursor(Qt::ClosedHandCursor);
    else if (horizontalScrollBar()->maximum() > 0 || verticalScrollBar()->maximum() > 0)
        viewport()->setCursor(Qt::OpenHandCursor);
    else
        viewport()->unsetCursor();
}

void CPLView::wheelEvent(QWheelEvent* event)
{
    // Ctrl+wheel zooms; so does the plain wheel when there is nothing to scroll.
    const bool bScrolls = horizontalScrollBar()->maximum() > 0 || verticalScrollBar()->maximum() > 0;
    if (!(event->modifiers() & Qt::ControlModifier) && bScrolls)
    {
        m_nWheelAngle = 0;
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    // A notch is 120; touchpads send less at a time.
    m_nWheelAngle += event->angleDelta().y();
    const QPoint anchor = event->position().toPoint();
    while (std::abs(m_nWheelAngle) >= 120)
    {
        ZoomStep(m_nWheelAngle > 0, &anchor);
        m_nWheelAngle -= m_nWheelAngle > 0 ? 120 : -120;
    }
    event->accept();
}

void CPLView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton)
    {
        ToggleZoomFit(event->position().toPoint());
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton &&
        (horizontalScrollBar()->maximum() > 0 || verticalScrollBar()->maximum() > 0))
    {
        m_bDragging = true;
        m_dragFrom = event->position().toPoint();
        m_dragOffset = QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
        UpdateCursor();
        event->accept();
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void CPLView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_bDragging)
    {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    // The picture follows the pointer.
    const QPoint moved = event->position().toPoint() - m_dragFrom;
    horizontalScrollBar()->setValue(m_dragOffset.x() - moved.x());
    verticalScrollBar()->setValue(m_dragOffset.y() - moved.y());
    event->accept();
}

void CPLView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_bDragging && event->button() == Qt::LeftButton)
    {
        m_bDragging = false;
        UpdateCursor();
        event->accept();
        return;
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void CPLView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
    {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    m_bDragging = false;
    ToggleZoomFit(event->position().toPoint());
    event->accept();
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
