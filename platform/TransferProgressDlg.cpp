#include "TransferProgressDlg.h"

#include "MessageBox.h"
#include "ReplacePrompt.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
#include <QTimer>

#include <atomic>
#include <thread>

namespace
{
constexpr int kShowAfterMs = 500;
constexpr int kPollMs = 50;
} // namespace

CTransferProgressDlg::CTransferProgressDlg(QWidget* pOwner, CFileTransfer& transfer)
    : QDialog(pOwner ? pOwner : QApplication::activeWindow()), m_transfer(transfer),
      m_pLabel(new QLabel(this)), m_pBar(new QProgressBar(this)), m_pOwner(pOwner)
{
    const bool bCopy = transfer.GetOperation() == CFileTransfer::Copy;
    setWindowTitle(bCopy ? QStringLiteral("Copying") : QStringLiteral("Moving"));
    setAccessibleName(windowTitle());
    setWindowModality(Qt::ApplicationModal);
    setMinimumWidth(420);
    m_pLabel->setAccessibleName(QStringLiteral("Progress text"));
    m_pBar->setRange(0, 1000);
    m_pBar->setAccessibleName(QStringLiteral("Progress"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &CTransferProgressDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pLabel);
    layout->addWidget(m_pBar);
    layout->addWidget(buttons);
}

void CTransferProgressDlg::reject()
{
    m_transfer.Stop();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bStopWaiting = true;
    m_answered.notify_all();
}

bool CTransferProgressDlg::Execute(QWidget* pOwner, CFileTransfer& transfer)
{
    CTransferProgressDlg dialog(pOwner, transfer);
    const bool ok = dialog.Run();
    if (!ok && !transfer.IsCancelled() && !transfer.ErrorText().isEmpty())
        AfxMessageBox(transfer.ErrorText(), MB_OK | MB_ICONERROR, pOwner);
    return ok;
}

CFileTransfer::Reply CTransferProgressDlg::AskFromWorker(const CFileTransfer::Conflict& conflict)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_question = conflict;
    m_reply.reset();
    m_answered.wait(lock, [this] { return m_reply.has_value() || m_bStopWaiting; });
    m_question.reset();
    return m_reply.value_or(CFileTransfer::Reply{CFileTransfer::Cancel, false});
}

void CTransferProgressDlg::Poll()
{
    std::optional<CFileTransfer::Conflict> question;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bAsking && m_question && !m_reply)
            question = m_question;
    }
    if (question)
    {
        m_bAsking = true; // the prompt runs its own loop; polls meanwhile must not ask again
        const CFileTransfer::Reply reply =
            CReplacePrompt::Ask(isVisible() ? this : m_pOwner, *question);
        m_bAsking = false;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reply = reply;
        m_answered.notify_all();
    }

    const qint64 total = m_transfer.TotalBytes(), done = m_transfer.DoneBytes();
    const QLocale locale;
    m_pLabel->setText(QStringLiteral("%1 \"%2\"\n%3 of %4")
                          .arg(m_transfer.GetOperation() == CFileTransfer::Copy
                                   ? QStringLiteral("Copying")
                                   : QStringLiteral("Moving"),
                               m_transfer.CurrentName(), locale.formattedDataSize(done),
                               locale.formattedDataSize(total)));
    m_pBar->setValue(total > 0 ? int(std::min<qint64>(1000, done * 1000 / total)) : 0);
}

bool CTransferProgressDlg::Run()
{
    m_transfer.SetConflictHandler([this](const CFileTransfer::Conflict& c)
                                  { return AskFromWorker(c); });
    std::atomic<bool> bDone{false};
    bool ok = false;
    QEventLoop loop;
    std::thread worker(
        [&]
        {
            ok = m_transfer.Run();
            bDone = true;
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });

    QTimer poll;
    poll.setInterval(kPollMs);
    QElapsedTimer clock;
    clock.start();
    connect(&poll, &QTimer::timeout, &loop,
            [&]
            {
                if (bDone)
                {
                    loop.quit();
                    return;
                }
                std::unique_lock<std::mutex> lock(m_mutex);
                const bool bQuestion = m_question.has_value();
                lock.unlock();
                // The dialog appears once the work is long, or at once for a question.
                if (!isVisible() && (bQuestion || clock.elapsed() >= kShowAfterMs))
                {
                    show();
                    loop.quit(); // go on in a loop that takes the user's input
                }
                Poll();
            });
    poll.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!bDone && isVisible())
        loop.exec();

    // The loop also ends when the program quits: stop the work and wait for it.
    if (!bDone)
        reject();
    worker.join();
    m_transfer.SetConflictHandler(nullptr);
    hide();
    return ok;
}
