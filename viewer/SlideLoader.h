#pragma once
#include "Thread.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>

class CAnyPicDecoder;
class CBmp;

/// Decodes the slideshow's next picture ahead of time on a worker thread, so
/// that showing it costs the user-interface thread only the window swap.
///
/// One request at a time: a newer request replaces one that has not begun.
/// Each finished decode goes to the delivery function on the worker thread,
/// which hands it on (a queued call); a decode under way cannot be cut short,
/// so its answer may arrive after a newer request or a Cancel, and the
/// receiver tells answers apart by their ticket.
class CSlideLoader : public CThread
{
public:
    struct Slide
    {
        unsigned nTicket = 0;       // the request's number, as Load returned it
        std::string path;           // file-system bytes, as given to Load
        std::unique_ptr<CBmp> pBmp; // the bitmap given to Load: filled, or null on failure
        int nCode = 0;              // the decoder's error code; 0 on success
        std::string error;          // the decoder's text on failure
    };
    using Deliver = std::function<void(std::shared_ptr<Slide>)>;

    explicit CSlideLoader(Deliver deliver);
    /// Stops and joins the worker; a decode under way completes first.
    ~CSlideLoader() override;

    /// Queues the decode of the file into the bitmap, starting the worker on
    /// first use, and returns the request's ticket (never 0). Throws
    /// CThreadException when the worker cannot be started.
    unsigned Load(std::string path, std::unique_ptr<CBmp> pBmp);
    /// Drops the request that has not begun.
    void Cancel();

protected:
    int Run() override;

private:
    void Decode(Slide& slide);

    Deliver m_deliver;
    std::unique_ptr<CAnyPicDecoder> m_pDecoder; // used on the worker only
    std::mutex m_lock;                          // guards the two below
    std::shared_ptr<Slide> m_pRequest;          // waiting to begin
    unsigned m_nTicket = 0;
};
