#pragma once
#include "ThumbnailCache.h"
#include "ThumbnailQueue.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CThumbnailMaker;

/// Makes a folder's thumbnails off the user-interface thread: one worker per
/// core, each with a decoder of its own, taking rows in the order of a
/// CThumbnailQueue. A thumbnail comes from the desktop's cache when it is
/// fresh there; otherwise it is made and stored (a failure entry when the
/// file cannot be decoded, so it is not tried again until it changes).
///
/// Results go to the delivery function on a worker thread; the receiver
/// hands them on by a queued call and drops those of an older generation
/// (a folder or size left since).
class CThumbnailPool
{
public:
    struct Job
    {
        int nRow = 0;
        QString path;        // absolute, NativePath escapes
        bool bDecode = true; // false: only a thumbnail another program made
    };
    enum Outcome
    {
        kMade,   // image holds the thumbnail
        kFailed, // the file is gone or cannot be decoded: a broken picture
        kNone    // no thumbnail for a file that is no picture
    };
    struct Result
    {
        quint64 nGeneration = 0;
        int nRow = 0;
        QString path;
        Outcome outcome = kNone;
        QImage image;
    };
    using Deliver = std::function<void(Result)>;

    /// threads 0: one per core. cacheRoot empty: the desktop's cache.
    explicit CThumbnailPool(Deliver deliver, int threads = 0, const QString& cacheRoot = {});
    /// Drops the waiting work and joins the workers (a thumbnail under way completes).
    ~CThumbnailPool();
    CThumbnailPool(const CThumbnailPool&) = delete;
    CThumbnailPool& operator=(const CThumbnailPool&) = delete;

    /// Replaces all work by this folder's (rows 0 to rowCount - 1, the jobs
    /// naming those that need a thumbnail) at that size, and returns the
    /// generation its results carry.
    quint64 SetWork(int rowCount, std::vector<Job> jobs, int size);
    /// Adds one job to the present work (a thumbnail wanted again).
    void Add(Job job);
    /// Drops all waiting work (results under way still arrive, of an old generation).
    void Clear();
    /// Rows first to last are on screen: they come next.
    void SetView(int first, int last);
    /// Blocks until no work waits and no worker is busy (tests, benchmarks).
    void WaitIdle();

    int GetThreadCount() const { return int(m_workers.size()); }
    const CThumbnailCache& GetCache() const { return m_cache; }
    /// What a worker does for one job (also used directly by tests).
    static Result Produce(CThumbnailMaker& maker, const CThumbnailCache& cache, const Job& job,
                          int size);

private:
    void Work();

    Deliver m_deliver;
    const CThumbnailCache m_cache;
    std::mutex m_mutex; // guards everything below
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    CThumbnailQueue m_queue;
    std::vector<Job> m_jobs; // by row; an empty path: no work
    quint64 m_nGeneration = 0;
    int m_nSize = CThumbnailCache::kNormal;
    int m_nBusy = 0;
    bool m_bStop = false;
    std::vector<std::thread> m_workers;
};
