#pragma once
#include <QString>

/// Where the slideshow's pictures come from: a list of files, or the
/// selection made for the show. Each pick returns the full path of a picture,
/// or the empty string when there is nothing to show.
class ISlideSource
{
public:
    virtual ~ISlideSource() = default;

    /// The entries of the list; a show needs more than one.
    virtual int GetItemCount() const = 0;
    virtual QString PickRandom() = 0;
    virtual QString PickNext() = 0;
    /// How many entries the picks draw from.
    virtual int SourceSize() const = 0;
    /// A show begins: the picks start again at the first entry.
    virtual void BeginShow() = 0;
    /// The show has stopped: the next one draws from the whole list again.
    virtual void EndShow() = 0;
};
