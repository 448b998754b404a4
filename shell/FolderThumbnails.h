#pragma once
#include "ThumbnailMemory.h"

#include <QImage>
#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

class CFileListModel;
class CThumbnailPool;

/// The thumbnails of the rows of the file list's model: what each row shows
/// now (a thumbnail, a placeholder while it is made, a broken picture, or
/// its type icon), and the work of making the missing ones, ordered by the
/// rows on screen. Follows the model: a new folder, a re-read or removed
/// rows start the work again (what is already in memory stays). Works only
/// while switched on, so the details look costs nothing.
class CFolderThumbnails : public QObject
{
    Q_OBJECT
public:
    enum State
    {
        kNoThumbnail, // a folder, or a file no program has a thumbnail of
        kWaiting,
        kReady,
        kBroken
    };

    /// threads 0: one worker per core; cacheRoot empty: the desktop's cache.
    CFolderThumbnails(CFileListModel* pModel, QObject* pParent, int threads = 0,
                      const QString& cacheRoot = {});
    ~CFolderThumbnails() override;

    void SetEnabled(bool bOn);
    bool IsEnabled() const { return m_bEnabled; }
    /// 128 or 256 pixels; a change makes the thumbnails again at that size.
    void SetSize(int size);
    int GetSize() const { return m_nSize; }
    /// Rows first to last are on screen: they are made next.
    void SetView(int first, int last);

    State StateOf(int row) const;
    /// The row's thumbnail when it is ready, else null.
    const QImage* ImageOf(int row);
    /// Rows still waiting (tests).
    int GetWaiting() const { return m_nWaiting; }

signals:
    /// The row's thumbnail, or its failure, has arrived.
    void RowChanged(int row);

private:
    void Restart();
    /// Restarts the work once the model's changes are over.
    void Postpone();
    void Take(quint64 generation, int row, int outcome, const QImage& image);
    QString KeyOf(int row) const;

    CFileListModel* m_pModel;
    std::unique_ptr<CThumbnailPool> m_pPool;
    CThumbnailMemory m_memory;
    std::vector<uint8_t> m_states; // State per row
    QTimer m_restartTimer;
    quint64 m_nGeneration = 0;
    int m_nWaiting = 0;
    int m_nSize = 128;
    int m_nFirst = 0;
    int m_nLast = -1;
    bool m_bEnabled = false;
};
