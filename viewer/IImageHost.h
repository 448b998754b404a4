#pragma once

class CPicDecoder;
class CPLView;
class QPrinter;

/// What image documents and views need of the program: the decoder their
/// files are read with, the printer, and which view automatic panning
/// drives. The application object implements it; the image template hands
/// it to every document and view it makes.
class IImageHost
{
public:
    virtual ~IImageHost() = default;

    virtual CPicDecoder& GetDecoder() = 0;
    /// The printer shared by printing, preview and print setup.
    virtual QPrinter& GetPrinter() = 0;
    /// The view panning drives (or the slide just shown), or null.
    virtual CPLView* GetPanView() const = 0;
    virtual void SetPanView(CPLView* pView) = 0;
};
