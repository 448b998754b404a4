#pragma once
#include "FileTransfer.h"

#include <QDialog>

#include <condition_variable>
#include <functional>
#include <mutex>

class QLabel;
class QProgressBar;

/// Runs a file transfer on a worker thread while the window stays live: after
/// half a second a progress dialog appears that can cancel it; replace
/// questions and questions about entries that fail are asked here, on the
/// user-interface thread. Before the dialog
/// shows, user input waits in the queue, so no second operation starts on the
/// same files meanwhile.
class CTransferProgressDlg : public QDialog
{
    Q_OBJECT
public:
    /// Carries out the transfer and returns its result; a failure's reason is
    /// shown in a message box (a cancel is not a failure to report).
    static bool Execute(QWidget* pOwner, CFileTransfer& transfer);

protected:
    /// Cancel, Escape and the window's close button stop the transfer.
    void reject() override;

private:
    CTransferProgressDlg(QWidget* pOwner, CFileTransfer& transfer);
    bool Run();
    void Poll();
    // Called on the worker thread: hands the question over to the
    // user-interface thread and waits; false when the transfer was stopped
    // before it was answered. The question stores its answer in a member.
    bool AskFromWorker(std::function<void()> question);
    QWidget* PromptOwner() { return isVisible() ? this : m_pOwner; }

    CFileTransfer& m_transfer;
    QLabel* m_pLabel;
    QProgressBar* m_pBar;
    QWidget* m_pOwner;
    std::mutex m_mutex;
    std::condition_variable m_answered;
    std::function<void()> m_question; // waiting to be asked
    bool m_bAnswered = false;
    CFileTransfer::Reply m_conflictReply;
    CFileTransfer::ErrorAnswer m_errorAnswer = CFileTransfer::CancelTransfer;
    bool m_bAsking = false;
    bool m_bStopWaiting = false;
};
