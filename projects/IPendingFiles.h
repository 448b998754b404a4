#pragma once
#include <QString>
#include <QStringList>

/// The file list's pending copy and cut, which a paste into the project tree
/// uses up. The application object implements it over the list bar's list.
class IPendingFiles
{
public:
    virtual ~IPendingFiles() = default;

    /// Takes the multi-file copy (full paths), which is used up by this;
    /// empty when there is none.
    virtual QStringList TakeMultiCopy() = 0;
    /// The files cut for moving: full paths, each ended by a zero character;
    /// empty when there are none.
    virtual QString GetPendingCut() const = 0;
    /// The cut files have moved: they leave the list and the cut is used up.
    virtual void CutMoved() = 0;
};
