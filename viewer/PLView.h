#pragma once
#include "DeviceContext.h"
#include "LoopAutoScrollThread.h"
#include "PictureRenderer.h"
#include "View.h"

#include <QAbstractScrollArea>

class CPLViewerDoc;
class IImageHost;
class QPainter;
class QPrinter;

/// The image view: scrolls over the picture at 1:1 or any zoom, fits it to
/// the window keeping its proportions, or stretches it to the window, on
/// the smooth ("Dither") or the plain drawing path. The mouse drags the
/// picture, Ctrl+wheel zooms around the pointer, the middle button or a
/// double-click toggles between Zoom to Fit and 1:1.
/// The printer and the panned view are the host's.
class CPLView : public QAbstractScrollArea, public CView
{
    Q_OBJECT
public:
    explicit CPLView(IImageHost& host);
    ~CPLView() override;

    QWidget* GetWidget() override { return this; }
    CPLViewerDoc* GetDocument() const;

    void OnInitialUpdate() override;
    void OnActivateView(bool bActivate) override;

    /// " W x H; bpp bpp; kb kb" of the picture, or empty without one.
    QString GetImageInfoText() const;

    /// " 45%": the zoom of the picture on screen, or empty without one.
    QString GetZoomText() const;

    /// Where the picture goes in the window (scroll origin at 0, 0).
    CRect GetDestinationRect() const;
    /// The printed picture: as wide as the page, or as high, in its printed proportions.
    static CRect PrintDestination(int pageWidth, int pageHeight, int dpiX, int dpiY, int w, int h);

    /// One line of scrolling: vertical or horizontal, forward (down, right) or back.
    void ScrollLine(Qt::Orientation orientation, bool bForward);

    void ToggleFit();
    void ToggleDither();

    /// The scale of the picture on screen (1 is 1:1); stretched to the
    /// window, the smaller of its two scales.
    double GetZoom() const;
    bool IsZoomToFit() const { return m_bZoomFit; }
    /// Zooms to a scale (held within 1/32 ... 32), keeping the picture's
    /// point under anchor (viewport coordinates) where it is; ends fitting.
    void ZoomTo(double zoom, QPoint anchor);
    /// One step in or out around anchor, or around the centre.
    void ZoomStep(bool bIn, const QPoint* pAnchor = nullptr);
    /// Fits the whole picture to the window, keeping its proportions,
    /// centred, and never beyond 1:1; it follows the window's size.
    void ZoomToFit();
    /// Zoom to Fit, or 1:1 around anchor when it is on: the mouse's toggle.
    void ToggleZoomFit(QPoint anchor);
    /// What stands behind transparent pixels.
    void SetBackdrop(const CPictureRenderer::Backdrop& backdrop);

    /// The document's picture or its first pass has come: the view sizes
    /// itself to the picture the first time, and repaints.
    void OnPictureChanged(bool bFinal);
    /// An animation's next frame is in place of the last: the view repaints.
    void OnFrameChanged();
    /// Starts the panning worker; a failure (it is already running) is
    /// reported in a message box.
    void StartAutoScroll();
    /// Stops the panning worker and waits for it to end, which is at once.
    void StopAutoScroll();
    bool IsAutoScrolling() const { return m_bAutoScrolling; }
    void SetPanDelay(int ms) { m_nPanDelay = ms; }

    void OnFilePrint();
    void OnFilePrintPreview();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    /// The scroll range for the picture's size at the zoom, with the default
    /// page and line steps (a tenth of the size, a tenth of that).
    void UpdateScrollSizes();
    /// Sets the scroll bars' ranges; returns the viewport they leave.
    QSize UpdateScrollBars();
    /// The picture's size on screen, not stretched.
    QSize ScaledSize() const;
    /// Sizes the window to a picture smaller than it (the first display).
    void FitFrameToPicture();
    void UpdateCursor();
    void Turn(int orientation);
    /// Paints the parts of the window that the picture leaves uncovered.
    void EraseBackground(QPainter& dc);
    void PrintPage(QPrinter* printer);
    /// The picture's size (known from its first pass on).
    QSize BitmapSize() const;
    /// Triggers the command when its enabling rule allows it now.
    void RunIfEnabled(int nID);
    /// One step of the panning worker, on the user-interface thread.
    CLoopAutoScrollThread::Positions DoPanStep(CLoopAutoScrollThread::StepKind kind, int nPos);

    IImageHost& m_host;
    bool m_bAutoScrolling = false;
    int m_nPanDelay = 1000;
    bool m_bFit = false;
    bool m_bDither = true;
    bool m_bZoomFit = false; // Zoom to Fit: proportional, centred, follows the window
    double m_dZoom = 1.0;    // the zoom when neither fit is on
    bool m_bSized = false;
    QRect m_initialFrame;  // the frame's geometry when the view was first updated   // the first display has sized the window to the picture
    bool m_bDragging = false;
    QPoint m_dragFrom;         // pointer position where the drag began
    QPoint m_dragOffset;       // scroll offset then
    int m_nWheelAngle = 0;     // wheel rotation not yet turned into zoom steps, 1/8 degree
    CPictureRenderer::Backdrop m_backdrop;
    QSize m_totalDev;
    CLoopAutoScrollThread m_scrollThread;
};
