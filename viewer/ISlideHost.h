#pragma once
#include <QString>

struct CSlideshowState;
class CDocTemplate;
class CMDIChildWnd;
class ISlideSource;
class QWidget;

/// What the slideshow needs of the program around it: where the slides come
/// from, the windows they show in, panning and the status bar. The
/// application object implements it and hands it to the slideshow it makes.
class ISlideHost
{
public:
    virtual ~ISlideHost() = default;

    /// The show's state, which the frames and the commands read too.
    virtual CSlideshowState& GetSlideshowState() = 0;
    /// The source of the slides, or null while there is none.
    virtual ISlideSource* GetSlideSource() = 0;
    /// The template the slides' documents and frames come from.
    virtual CDocTemplate* GetImageTemplate() const = 0;
    /// A show begins: panning stops.
    virtual void BeginSlideshow() = 0;
    /// A slide's frame is on screen: its timer starts with the show's delay,
    /// panning moves to its view, and its picture is the current image.
    virtual void SlideFrameShown(CMDIChildWnd* pFrame, const QString& path) = 0;
    /// Stops the slideshow timer of every image window.
    virtual void StopSlideshowTimers() = 0;
    /// The picture "Save file as BMP" and the other commands start from.
    virtual void SetCurrentImage(const QString& path) = 0;
    /// One line in the status bar for ms milliseconds.
    virtual void ShowStatus(const QString& text, int ms) = 0;
    /// The window the show's message boxes belong to, or null.
    virtual QWidget* GetMessageParent() const = 0;
    /// The commands' enabled state is due for a refresh.
    virtual void UpdateCommands() = 0;
};
