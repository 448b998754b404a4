#include "FolderThumbnails.h"

#include "FileListCtrl.h"
#include "FileListModel.h"
#include "FileName.h"
#include "ThumbnailPool.h"

#include <QPointer>

CFolderThumbnails::CFolderThumbnails(CFileListModel* pModel, QObject* pParent, int threads,
                                     const QString& cacheRoot)
    : QObject(pParent), m_pModel(pModel)
{
    QPointer<CFolderThumbnails> self(this);
    // Results come on a worker thread and go on to this object's thread.
    m_pPool = std::make_unique<CThumbnailPool>(
        [self, this](CThumbnailPool::Result r)
        {
            QMetaObject::invokeMethod(
                this,
                [self, r = std::move(r)]
                {
                    if (self)
                        self->Take(r.nGeneration, r.nRow, r.outcome, r.image);
                },
                Qt::QueuedConnection);
        },
        threads, cacheRoot);
    connect(pModel, &QAbstractItemModel::modelReset, this, &CFolderThumbnails::Restart);
    // Rows leave one at a time when many files are deleted: the rows' states
    // follow at once, the work starts again once, after the last.
    m_restartTimer.setSingleShot(true);
    connect(&m_restartTimer, &QTimer::timeout, this, &CFolderThumbnails::Restart);
    connect(pModel, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last)
            {
                if (first >= 0 && size_t(last) < m_states.size())
                    m_states.erase(m_states.begin() + first, m_states.begin() + last + 1);
                Postpone();
            });
    connect(pModel, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last)
            {
                if (first >= 0 && size_t(first) <= m_states.size())
                    m_states.insert(m_states.begin() + first, size_t(last - first + 1), kWaiting);
                Postpone();
            });
}

void CFolderThumbnails::Postpone()
{
    // Results under way name rows by their old numbers: they are dropped.
    m_nGeneration = 0;
    m_restartTimer.start(0);
}

// The pool joins its workers first; their last results find no receiver.
CFolderThumbnails::~CFolderThumbnails() = default;

void CFolderThumbnails::SetEnabled(bool bOn)
{
    if (bOn == m_bEnabled)
        return;
    m_bEnabled = bOn;
    Restart();
}

void CFolderThumbnails::SetSize(int size)
{
    size = size > CThumbnailCache::kNormal ? CThumbnailCache::kLarge : CThumbnailCache::kNormal;
    if (size == m_nSize)
        return;
    m_nSize = size;
    Restart();
}

void CFolderThumbnails::SetView(int first, int last)
{
    m_nFirst = first;
    m_nLast = last;
    if (m_bEnabled)
        m_pPool->SetView(first, last);
}

QString CFolderThumbnails::KeyOf(int row) const
{
    const CDirEntry& e = m_pModel->Entry(row);
    return CThumbnailMemory::KeyOf(CFileName::JoinPath(m_pModel->Folder(), e.name), e.mtime,
                                   e.size, m_nSize);
}

void CFolderThumbnails::Restart()
{
    m_restartTimer.stop();
    const int count = m_pModel->Count();
    m_states.assign(size_t(count), kNoThumbnail);
    m_nWaiting = 0;
    if (!m_bEnabled)
    {
        m_pPool->Clear();
        m_nGeneration = 0;
        return;
    }
    std::vector<CThumbnailPool::Job> jobs;
    jobs.reserve(size_t(count));
    // A folder seen for the first time has nothing in memory: its keys are
    // not worth making.
    const bool bAnyInMemory = m_memory.GetCount() > 0;
    for (int row = 0; row < count; ++row)
    {
        const CDirEntry& e = m_pModel->Entry(row);
        if (e.bFolder)
            continue;
        if (bAnyInMemory && m_memory.Find(KeyOf(row)))
        {
            m_states[size_t(row)] = kReady;
            continue;
        }
        // Pictures are made; of other files only another program's thumbnail shows.
        const bool bPicture = CFileListCtrl::HasImageExtension(e.name);
        if (bPicture)
        {
            m_states[size_t(row)] = kWaiting;
            ++m_nWaiting;
        }
        jobs.push_back({row, CFileName::JoinPath(m_pModel->Folder(), e.name), bPicture});
    }
    m_nGeneration = m_pPool->SetWork(count, std::move(jobs), m_nSize);
    m_pPool->SetView(m_nFirst, m_nLast);
}

void CFolderThumbnails::Take(quint64 generation, int row, int outcome, const QImage& image)
{
    if (generation != m_nGeneration || row < 0 || row >= int(m_states.size()))
        return;
    uint8_t& state = m_states[size_t(row)];
    if (state == kWaiting)
        --m_nWaiting;
    switch (outcome)
    {
    case CThumbnailPool::kMade:
        // Drawn often: premultiplied is what the painter blends fastest.
        m_memory.Insert(KeyOf(row), image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        state = kReady;
        break;
    case CThumbnailPool::kFailed:
        state = kBroken;
        break;
    default:
        state = kNoThumbnail;
        break;
    }
    emit RowChanged(row);
}

CFolderThumbnails::State CFolderThumbnails::StateOf(int row) const
{
    return row >= 0 && row < int(m_states.size()) && row < m_pModel->Count()
               ? State(m_states[size_t(row)])
               : kNoThumbnail;
}

const QImage* CFolderThumbnails::ImageOf(int row)
{
    if (StateOf(row) != kReady)
        return nullptr;
    const QImage* image = m_memory.Find(KeyOf(row));
    if (!image)
    {
        // Dropped from memory to make room: made again (from the cache) when shown.
        m_states[size_t(row)] = kWaiting;
        ++m_nWaiting;
        m_pPool->Add({row, CFileName::JoinPath(m_pModel->Folder(), m_pModel->Entry(row).name), true});
    }
    return image;
}
