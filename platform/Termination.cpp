#include "Termination.h"

#include "MDIFrameWnd.h"
#include "WinApp.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
int g_signalFds[2] = {-1, -1};
bool g_bRequested = false;
bool g_bClosing = false;

// Only async-signal-safe work here: the event loop does the rest.
void OnSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalFds[0], &c, 1);
}

// One round: close menus and dialogs from the top; while any nested loop
// still runs, come back once it has had the time to return.
void Step()
{
    if (!g_bRequested || g_bClosing)
        return;
    bool bOpen = false;
    for (int i = 0; i < 16 && QApplication::activePopupWidget(); ++i)
    {
        QApplication::activePopupWidget()->close();
        bOpen = true;
    }
    for (QWidget* pWidget : QApplication::topLevelWidgets())
        if (auto* pDialog = qobject_cast<QDialog*>(pWidget); pDialog && pDialog->isVisible())
        {
            pDialog->reject();
            bOpen = true;
        }
    if (bOpen || QThread::currentThread()->loopLevel() > 1)
    {
        QTimer::singleShot(20, qApp, Step);
        return;
    }
    g_bClosing = true;
    CMDIFrameWnd* pMain = CWinApp::Get() ? CWinApp::Get()->GetMainWnd() : nullptr;
    if (pMain)
        pMain->close();
    else
        QApplication::quit();
}
} // namespace

namespace Termination
{
void InstallSignalHandlers()
{
    if (g_signalFds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFds) != 0)
        return;
    auto* pNotifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, qApp);
    QObject::connect(pNotifier, &QSocketNotifier::activated, qApp,
                     []
                     {
                         char c;
                         [[maybe_unused]] const ssize_t n = ::read(g_signalFds[1], &c, 1);
                         Request();
                     });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void Request()
{
    if (g_bRequested)
        return;
    g_bRequested = true;
    Step();
}

bool IsRequested()
{
    return g_bRequested;
}

void Reset()
{
    g_bRequested = false;
    g_bClosing = false;
}
} // namespace Termination
