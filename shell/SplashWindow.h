#pragma once
#include <QWidget>
#include <memory>

class CDrawDibBmp;

/// The splash window: bitmap 140 over the main frame for 1750 ms, or until
/// the first key press or mouse click, which it consumes.
class CSplashWindow : public QWidget
{
    Q_OBJECT
public:
    static void EnableSplashScreen(bool bEnable) { s_bShowSplashWnd = bEnable; }
    static void ShowSplashScreen(QWidget* pParent);
    static void HideSplashScreen();
    static bool IsShown() { return s_pSplashWnd != nullptr; }
    /// Hides the splash on a key press or a mouse button press; true consumes the event.
    static bool PreTranslateAppMessage(QEvent* pEvent);

    ~CSplashWindow() override;

protected:
    explicit CSplashWindow(QWidget* pParent);
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    static bool s_bShowSplashWnd;
    static CSplashWindow* s_pSplashWnd;
    std::unique_ptr<CDrawDibBmp> m_bitmap;
    int m_nTimer = 0;
};
