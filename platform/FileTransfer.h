#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>

/// A copy or move of files and folders, carried out without widgets so that it
/// can run on a worker thread (CTransferProgressDlg runs it with a progress
/// dialog). Nothing the user owns is lost:
/// - an existing file is never overwritten unless the conflict handler says so;
/// - each file is written under a temporary name in its destination folder and
///   renamed into place when complete, so a cancel or a failure leaves no
///   partial file;
/// - a move within one file system is a rename; across file systems a file is
///   copied and its source removed only once the copy is complete;
/// - sources are never changed by a copy.
/// A folder source is transferred with its contents, as the folder itself
/// ("a/photos" into "b" gives "b/photos"); "a/photos/*" (or "*.*") names the
/// folder's entries instead. Folders that meet an existing folder are merged.
class CFileTransfer
{
public:
    enum Operation
    {
        Copy,
        Move
    };
    enum Answer
    {
        Replace,
        Skip,
        Cancel
    };
    struct Conflict
    {
        QString source;
        QString target; // the existing entry
        bool bTargetIsFolder = false;
    };
    struct Reply
    {
        Answer answer = Cancel;
        bool bApplyToAll = false; // give the same answer to every later conflict
    };
    /// Called on the transfer's thread; blocks it until the user answered.
    using ConflictHandler = std::function<Reply(const Conflict&)>;

    /// Transfers the sources into the destination. The destination is a
    /// folder when it ends in "/" (or "/*", "/*.*"), when it is an existing
    /// folder, or when there are several sources (it is created when missing);
    /// otherwise the one source takes the destination as its new path.
    CFileTransfer(Operation op, const QStringList& sources, const QString& destination);

    void SetConflictHandler(ConflictHandler handler) { m_onConflict = std::move(handler); }

    /// Renames without replacing an existing entry (with a checked rename
    /// where the file system cannot refuse a replacement itself); 0 or the
    /// error number.
    static int RenameNoReplace(const QByteArray& from, const QByteArray& to);

    /// Carries out the transfer on the calling thread; true when every entry
    /// was transferred or skipped by the user's answer.
    bool Run();
    /// Asks a running transfer to stop (any thread, as Cancel does); the file being written
    /// is removed and Run returns false.
    void Stop() { m_bCancel = true; }
    bool IsCancelled() const { return m_bCancel; }

    /// Progress, readable from any thread while Run works.
    qint64 TotalBytes() const { return m_nTotalBytes; }
    qint64 DoneBytes() const { return m_nDoneBytes; }
    QString CurrentName() const;
    Operation GetOperation() const { return m_op; }
    /// Why Run failed (empty after a cancel or a success).
    const QString& ErrorText() const { return m_strError; }

private:
    struct Top
    {
        QByteArray source;
        QByteArray target;
    };
    bool Prepare(std::vector<Top>& tops);
    bool TransferEntry(const QByteArray& src, const QByteArray& dst);
    bool TransferFolder(const QByteArray& src, const QByteArray& dst, bool bMerge);
    bool CopyFile(const QByteArray& src, const QByteArray& dst, bool bReplace, bool bRemoveSource);
    /// 0 when copied, -1 when cancelled, else the error number.
    int CopyData(int in, int out, qint64 size);
    bool Resolve(const QByteArray& src, const QByteArray& dst, bool bTargetIsFolder,
                 Answer& answer);
    bool Fail(const char* what, const QByteArray& path, int err);
    void Advance(qint64 bytes) { m_nDoneBytes += bytes; }
    void SetCurrent(const QByteArray& path);

    Operation m_op;
    QStringList m_sources;
    QString m_strDestination;
    ConflictHandler m_onConflict;
    bool m_bHaveAllAnswer = false;
    Answer m_allAnswer = Skip;
    QString m_strError;
    std::atomic<bool> m_bCancel{false};
    bool m_bCopyingMove = false; // this top entry's move met another file system
    std::atomic<qint64> m_nTotalBytes{0};
    std::atomic<qint64> m_nDoneBytes{0};
    mutable std::mutex m_mutex; // guards m_strCurrent
    QString m_strCurrent;
};
