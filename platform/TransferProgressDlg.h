#pragma once
#include "FileTransfer.h"

#include <QDialog>

#include <condition_variable>
#include <mutex>
#include <optional>

class QLabel;
class QProgressBar;

/// Runs a file transfer on a worker thread while the window stays live: after
/// half a second a progress dialog appears that can cancel it; replace
/// questions are asked here, on the user-interface thread. Before the dialog
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
    // Called on the worker thread: hands the question over and waits.
    CFileTransfer::Reply AskFromWorker(const CFileTransfer::Conflict& conflict);

    CFileTransfer& m_transfer;
    QLabel* m_pLabel;
    QProgressBar* m_pBar;
    QWidget* m_pOwner;
    std::mutex m_mutex;
    std::condition_variable m_answered;
    std::optional<CFileTransfer::Conflict> m_question; // waiting for an answer
    std::optional<CFileTransfer::Reply> m_reply;
    bool m_bAsking = false;
    bool m_bStopWaiting = false;
};
