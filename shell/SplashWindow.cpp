#include "SplashWindow.h"

#include "DrawDibBmp.h"
#include "Resource.h"
#include "TextException.h"

#include <QEvent>
#include <QPainter>
#include <QScreen>

bool CSplashWindow::s_bShowSplashWnd = true;
CSplashWindow* CSplashWindow::s_pSplashWnd = nullptr;

CSplashWindow::CSplashWindow(QWidget* pParent)
    : QWidget(pParent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_bitmap(std::make_unique<CDrawDibBmp>())
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setCursor(Qt::ArrowCursor);
    try
    {
        m_bitmap->CreateFromBitmapResource(Id::IDB_SPLASH);
    }
    catch (const CTextException&)
    {
        m_bitmap.reset();
    }
    setFixedSize(m_bitmap ? QSize(m_bitmap->GetWidth(), m_bitmap->GetHeight()) : QSize(360, 200));
}

CSplashWindow::~CSplashWindow()
{
    if (s_pSplashWnd == this)
        s_pSplashWnd = nullptr;
}

void CSplashWindow::ShowSplashScreen(QWidget* pParent)
{
    if (!s_bShowSplashWnd || s_pSplashWnd)
        return;
    s_pSplashWnd = new CSplashWindow(pParent);
    const QScreen* screen = pParent && pParent->screen() ? pParent->screen() : nullptr;
    if (screen)
    {
        const QRect area = screen->geometry();
        s_pSplashWnd->move(area.center() - s_pSplashWnd->rect().center());
    }
    s_pSplashWnd->m_nTimer = s_pSplashWnd->startTimer(1750);
    s_pSplashWnd->show();
    s_pSplashWnd->repaint();
}

void CSplashWindow::HideSplashScreen()
{
    CSplashWindow* pWnd = s_pSplashWnd;
    if (!pWnd)
        return;
    s_pSplashWnd = nullptr;
    QWidget* pParent = pWnd->parentWidget();
    pWnd->hide();
    pWnd->deleteLater();
    if (pParent)
        pParent->update();
}

bool CSplashWindow::PreTranslateAppMessage(QEvent* pEvent)
{
    if (!s_pSplashWnd)
        return false;
    switch (pEvent->type())
    {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
        HideSplashScreen();
        return true;
    default:
        return false;
    }
}

void CSplashWindow::paintEvent(QPaintEvent*)
{
    QPainter dc(this);
    if (!m_bitmap)
    {
        dc.fillRect(rect(), QColor(0x20, 0x4A, 0x87));
        return;
    }
    m_bitmap->Render(dc, nullptr, nullptr, true, nullptr, false);
}

void CSplashWindow::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_nTimer)
        HideSplashScreen();
}
