#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <vector>

/// A copy or move of files and folders, carried out without widgets so that it
/// can run on a worker thread (CTransferProgressDlg runs it with a progress
/// dialog). Nothing the user owns is lost:
/// - an existing file is never overwritten unless the conflict handler says so,
///   and a replacement (file or link) is renamed over the old one in one step;
/// - a file is written without a name (O_TMPFILE) or under a hidden temporary
///   name, and named when complete, so a cancel, a failure or a kill leaves no
///   partial file; stale temporary names of earlier runs are removed;
/// - a file that changes while it is copied is a failed copy;
/// - a move within one file system is a rename; across file systems
///   everything is copied first, and the sources are removed only when the
///   copy is complete and on disk, each only if it is still the file that was
///   copied; a cancel or a failure removes the copies and keeps the sources;
/// - sources are never changed by a copy.
/// An entry that fails is put to the error handler (skip it, skip all, retry,
/// cancel); without one the transfer stops there. A link the destination
/// cannot hold is carried as the file it points at, or left out with one
/// notice at the end.
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

    /// An entry that could not be carried.
    struct Error
    {
        QString path;
        QString text; // what went wrong, in words
    };
    enum ErrorAnswer
    {
        SkipEntry,
        SkipAllEntries, // and every later failing entry, without asking
        RetryEntry,
        CancelTransfer
    };
    /// Called on the transfer's thread; blocks it until the user answered.
    using ErrorHandler = std::function<ErrorAnswer(const Error&)>;

    /// For tests: called at the steps named "rename" (a move's rename),
    /// "open" (a source file's), "copied" (a file's data is written, before
    /// it is checked), "symlink" and "unlink" (a moved source's removal, before
    /// it is checked); a nonzero answer is taken as that step's error number.
    /// Set it before a transfer starts, and reset it with an empty function.
    using FaultHook = std::function<int(const char* call, const QByteArray& path)>;
    static void SetFaultHook(FaultHook hook);

    /// Transfers the sources into the destination. The destination is a
    /// folder when it ends in "/" (or "/*", "/*.*"), when it is an existing
    /// folder, or when there are several sources (it is created when missing);
    /// otherwise the one source takes the destination as its new path.
    CFileTransfer(Operation op, const QStringList& sources, const QString& destination);

    void SetConflictHandler(ConflictHandler handler) { m_onConflict = std::move(handler); }
    void SetErrorHandler(ErrorHandler handler) { m_onError = std::move(handler); }

    /// Renames without replacing an existing entry (with a checked rename
    /// where the file system cannot refuse a replacement itself); 0 or the
    /// error number.
    static int RenameNoReplace(const QByteArray& from, const QByteArray& to);

    /// Carries out the transfer on the calling thread; true when every entry
    /// was transferred or skipped at a replace question.
    bool Run();
    /// Asks a running transfer to stop (any thread, as Cancel does); the file being written
    /// is removed and Run returns false. A stop that comes when the work is done changes nothing.
    void Stop() { m_bCancel = true; }
    /// Whether the transfer ended for a cancel (Stop, or Cancel at a question).
    bool IsCancelled() const { return m_bCancelled; }

    /// Progress, readable from any thread while Run works.
    qint64 TotalBytes() const { return m_nTotalBytes; }
    qint64 DoneBytes() const { return m_nDoneBytes; }
    QString CurrentName() const;
    Operation GetOperation() const { return m_op; }
    /// Why Run failed, with how many items were carried and which were not
    /// (empty after a cancel or a success).
    const QString& ErrorText() const { return m_strError; }

private:
    struct Top
    {
        QByteArray source;
        QByteArray target;
    };
    // What a source was when it was copied: a move removes it only if it still is.
    struct Identity
    {
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        struct timespec mtim = {}, ctim = {};
    };
    struct Removal
    {
        QByteArray path;
        bool bFolder = false;
        Identity id;
    };
    bool Prepare(std::vector<Top>& tops);
    bool TransferEntry(const QByteArray& src, const QByteArray& dst);
    bool CarryEntry(const QByteArray& src, const QByteArray& dst);
    bool TransferFolder(const QByteArray& src, const QByteArray& dst, bool bMerge);
    bool CopyFile(const QByteArray& src, const QByteArray& dst, bool bReplace,
                  const struct stat& entry);
    bool CopyLink(const QByteArray& src, const QByteArray& dst, bool bReplace,
                  const struct stat& entry);
    /// Names the complete unnamed (or temporary) file at dst; 0 or the error number.
    int NameFile(int fd, const QByteArray& tmp, const QByteArray& dst, bool bReplace);
    /// 0 when copied, -1 when cancelled, else the error number.
    int CopyData(int in, int out, qint64 size, qint64& copied);
    bool Resolve(const QByteArray& src, const QByteArray& dst, bool bTargetIsFolder,
                 Answer& answer);
    ErrorAnswer AskAboutError(const QByteArray& src);
    /// True when the transfer must end now (a cancel took effect, or a failure nobody skipped).
    bool Halted();
    void Carried(const QByteArray& src, const QByteArray& dst, bool bFolder, const Identity& id);
    void Created(const QByteArray& dst);
    void RemoveStaleTemporaries(const QByteArray& folder);
    void Commit();
    void RollBack();
    void Summarize(bool bFinished);
    bool Fail(const char* what, const QByteArray& path, int err);
    void Advance(qint64 bytes) { m_nDoneBytes += bytes; }
    void SetCurrent(const QByteArray& path);

    Operation m_op;
    QStringList m_sources;
    QString m_strDestination;
    ConflictHandler m_onConflict;
    ErrorHandler m_onError;
    bool m_bHaveAllAnswer = false;
    Answer m_allAnswer = Skip;
    bool m_bSkipAllErrors = false;
    QString m_strError;
    std::atomic<bool> m_bCancel{false};
    bool m_bCancelled = false;
    bool m_bHalted = false;
    bool m_bCopyingMove = false; // this top entry's move met another file system
    std::vector<Removal> m_removals;    // sources a copying move removes when all is copied
    std::vector<QByteArray> m_created;  // destination entries this transfer made, in order
    std::set<QByteArray> m_touchedDirs; // destination folders written into
    std::set<QByteArray> m_cleanDirs;   // folders already rid of stale temporary files
    QStringList m_problems;             // entries not carried, each with its reason
    int m_nLinksLeftOut = 0;
    int m_nItems = 0; // files and links to carry
    int m_nDone = 0;
    std::atomic<qint64> m_nTotalBytes{0};
    std::atomic<qint64> m_nDoneBytes{0};
    mutable std::mutex m_mutex; // guards m_strCurrent
    QString m_strCurrent;
};
