#pragma once

/// The slideshow's state that the program's frames and commands read: the
/// application object holds it and the slideshow keeps it up to date.
struct CSlideshowState
{
    int m_nSlideshowTimer = 0;
    int m_nSlideshowDelay = 4000; // milliseconds
    bool m_bSlideshowRunning = false;
    bool m_bSlideshowPaused = false;
    bool m_bRandomSlideshow = false;
};
