#include "TransferProgressDlg.h"

#include "MessageBox.h"
#include "ReplacePrompt.h"
#include "TransferErrorPrompt.h"

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

bool CTransferProgressDlg::AskFromWorker(std::function<void()> question)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_question = std::move(question);
    m_bAnswered = false;
    m_answered.wait(lock, [this] { return m_bAnswered || m_bStopWaiting; });
    m_question = nullptr;
    return m_bAnswered;
}

void CTransferProgressDlg::Poll()
{
    std::function<void()> question;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bAsking && m_question && !m_bAnswered)
            question = m_question;
    }
    if (question)
    {
        m_bAsking = true; // the prompt runs its own loop; polls meanwhile must not ask again
        question();
        m_bAsking = false;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bAnswered = true;
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
    m_transfer.SetConflictHandler(
        [this](const CFileTransfer::Conflict& conflict)
        {
            const bool bAnswered = AskFromWorker(
                [this, conflict]
                {
                    const CFileTransfer::Reply reply = CReplacePrompt::Ask(PromptOwner(), conflict);
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_conflictReply = reply;
                });
            std::lock_guard<std::mutex> lock(m_mutex);
            return bAnswered ? m_conflictReply : CFileTransfer::Reply{CFileTransfer::Cancel, false};
        });
    m_transfer.SetErrorHandler(
        [this](const CFileTransfer::Error& error)
        {
            const bool bAnswered = AskFromWorker(
                [this, error]
                {
                    const CFileTransfer::ErrorAnswer answer =
                        CTransferErrorPrompt::Ask(PromptOwner(), error);
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_errorAnswer = answer;
                });
            std::lock_guard<std::mutex> lock(m_mutex);
            return bAnswered ? m_errorAnswer : CFileTransfer::CancelTransfer;
        });
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
                const bool bQuestion = bool(m_question);
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
    m_transfer.SetErrorHandler(nullptr);
    hide();
    return ok;
}
