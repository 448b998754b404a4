#pragma once
#include "DeviceContext.h"
#include "LoopAutoScrollThread.h"
#include "View.h"

#include <QAbstractScrollArea>

class CPLViewerDoc;
class IImageHost;
class QPainter;
class QPrinter;

/// The image view: scrolls over the picture at 1:1 or stretches it to the
/// window, on the smooth ("Dither") or the plain drawing path. The printer
/// and the panned view are the host's.
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

    /// Where the picture goes in the window (scroll origin at 0, 0).
    CRect GetDestinationRect() const;
    /// The printed picture: as wide as the page, or as high, in its printed proportions.
    static CRect PrintDestination(int pageWidth, int pageHeight, int dpiX, int dpiY, int w, int h);

    /// One line of scrolling: vertical or horizontal, forward (down, right) or back.
    void ScrollLine(Qt::Orientation orientation, bool bForward);

    void ToggleFit();
    void ToggleDither();

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

private:
    /// The scroll range for a total size at 1:1 with the default page and
    /// line steps (a tenth of the size, a tenth of that).
    void SetScrollSizes(const QSize& total);
    void UpdateScrollBars();
    /// Paints the parts of the window that the picture leaves uncovered.
    void EraseBackground(QPainter& dc);
    void PrintPage(QPrinter* printer);
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
    QSize m_totalDev;
    CLoopAutoScrollThread m_scrollThread;
};
