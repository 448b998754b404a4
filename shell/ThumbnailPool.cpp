#include "ThumbnailPool.h"

#include "DisplayProfile.h"
#include "ThumbnailMaker.h"

#include <algorithm>

CThumbnailPool::CThumbnailPool(Deliver deliver, int threads, const QString& cacheRoot)
    : m_deliver(std::move(deliver)), m_cache(cacheRoot)
{
    if (threads <= 0)
        threads = int(std::max(1u, std::thread::hardware_concurrency()));
    for (int i = 0; i < threads; ++i)
        m_workers.emplace_back([this] { Work(); });
}

CThumbnailPool::~CThumbnailPool()
{
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
        m_queue.Reset(0);
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

quint64 CThumbnailPool::SetWork(int rowCount, std::vector<Job> jobs, int size)
{
    quint64 generation;
    {
        std::lock_guard lock(m_mutex);
        generation = ++m_nGeneration;
        m_nSize = size;
        m_queue.Reset(rowCount);
        m_jobs.assign(size_t(std::max(rowCount, 0)), Job());
        for (Job& job : jobs)
        {
            if (job.nRow < 0 || job.nRow >= rowCount || job.path.isEmpty())
                continue;
            m_queue.Add(job.nRow);
            m_jobs[size_t(job.nRow)] = std::move(job);
        }
    }
    m_wake.notify_all();
    return generation;
}

void CThumbnailPool::Add(Job job)
{
    {
        std::lock_guard lock(m_mutex);
        if (job.nRow < 0 || size_t(job.nRow) >= m_jobs.size() || job.path.isEmpty())
            return;
        m_queue.Add(job.nRow);
        m_jobs[size_t(job.nRow)] = std::move(job);
    }
    m_wake.notify_one();
}

void CThumbnailPool::Clear()
{
    std::lock_guard lock(m_mutex);
    ++m_nGeneration;
    m_queue.Reset(0);
    m_jobs.clear();
    m_idle.notify_all();
}

void CThumbnailPool::SetView(int first, int last)
{
    std::lock_guard lock(m_mutex);
    m_queue.SetView(first, last);
}

void CThumbnailPool::WaitIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_queue.GetWaiting() == 0 && m_nBusy == 0; });
}

void CThumbnailPool::Work()
{
    CThumbnailMaker maker; // decoders keep state while they work: one each
    std::unique_lock lock(m_mutex);
    for (;;)
    {
        m_wake.wait(lock, [this] { return m_bStop || m_queue.GetWaiting() > 0; });
        if (m_bStop)
            return;
        int row = 0;
        if (!m_queue.Pop(row))
            continue;
        const Job job = m_jobs[size_t(row)];
        const quint64 generation = m_nGeneration;
        const int size = m_nSize;
        ++m_nBusy;
        lock.unlock();
        Result result = Produce(maker, m_cache, job, size);
        result.nGeneration = generation;
        m_deliver(std::move(result));
        lock.lock();
        --m_nBusy;
        if (m_nBusy == 0 && m_queue.GetWaiting() == 0)
            m_idle.notify_all();
    }
}

CThumbnailPool::Result CThumbnailPool::Produce(CThumbnailMaker& maker,
                                               const CThumbnailCache& cache, const Job& job,
                                               int size)
{
    Result result;
    result.nRow = job.nRow;
    result.path = job.path;
    CThumbnailCache::Source source;
    if (!CThumbnailCache::StatSource(job.path, source))
    {
        // Gone before its turn (the folder's watcher removes the row soon).
        result.outcome = job.bDecode ? kFailed : kNone;
        return result;
    }
    // The cache's own files are small pictures already: shown, never stored.
    const bool bInCache = cache.Contains(job.path);
    if (!bInCache)
    {
        result.image = cache.Load(source, size);
        if (!result.image.isNull())
        {
            DisplayProfile::ToDisplay(result.image);
            result.outcome = kMade;
            return result;
        }
    }
    if (!job.bDecode)
        return result;
    if (!bInCache && cache.HasFailure(source))
    {
        result.outcome = kFailed;
        return result;
    }
    CThumbnailMaker::Thumbnail thumbnail = maker.Make(job.path, size);
    if (thumbnail.image.isNull())
    {
        // A file that cannot be opened now (permissions, a race) may open
        // later; one that cannot be decoded is recorded until it changes.
        const bool bOpenFailure = thumbnail.nCode >= 3 && thumbnail.nCode <= 5 && source.size > 0;
        if (!bInCache && !bOpenFailure)
            cache.StoreFailure(source);
        result.outcome = kFailed;
        return result;
    }
    if (!bInCache)
        cache.Store(source, size, thumbnail.image, thumbnail.picture.width(),
                    thumbnail.picture.height(), thumbnail.mimeType);
    result.outcome = kMade;
    result.image = std::move(thumbnail.image);
    // Stored as sRGB, shown in the display's colours.
    DisplayProfile::ToDisplay(result.image);
    return result;
}
