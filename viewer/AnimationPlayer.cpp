#include "AnimationPlayer.h"

#include "Animation.h"
#include "AnyPicDecoder.h"
#include "ColourManager.h"
#include "DrawDibBmp.h"
#include "TextException.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace
{
/// A frame that starts this late on its slot starts a slot of its own
/// instead of catching up, so a late frame never shortens the ones after.
constexpr qint64 kSlackMs = 5;

/// Copies the canvas into the frame's storage, made anew only when its size changed.
void CopyCanvas(const CBmp& canvas, CAnimationPlayer::Frame& frame)
{
    const int w = canvas.GetWidth(), h = canvas.GetHeight();
    for (std::unique_ptr<CDrawDibBmp>* p : {&frame.pBmp, &frame.pDisplay})
        if (*p && ((*p)->GetWidth() != w || (*p)->GetHeight() != h ||
                   (*p)->GetBitsPerPixel() != 32))
            p->reset();
    if (!frame.pBmp)
    {
        frame.pBmp = std::make_unique<CDrawDibBmp>();
        frame.pBmp->Create(w, h, 32, true);
    }
    uint8_t** from = canvas.GetLineArray();
    uint8_t** to = frame.pBmp->GetLineArray();
    for (int y = 0; y < h; y++)
        std::memcpy(to[y], from[y], size_t(w) * 4);
    if (!CColourManager::HasDisplayProfile())
    {
        frame.pDisplay.reset();
        return;
    }
    if (!frame.pDisplay)
    {
        frame.pDisplay = std::make_unique<CDrawDibBmp>();
        frame.pDisplay->Create(w, h, 32, true);
    }
    uint8_t** display = frame.pDisplay->GetLineArray();
    for (int y = 0; y < h; y++)
        std::memcpy(display[y], from[y], size_t(w) * 4);
    CColourManager::SrgbToDisplay(*frame.pDisplay);
}
} // namespace

struct CAnimationPlayer::Shared
{
    std::mutex lock; // guards all below
    std::condition_variable wake;
    bool bStop = false;
    Ask ask = Ask::kNone;
    int nSeekTo = 0;
    unsigned nSerial = 0;            // of the request in ask
    std::vector<Frame> spare;        // storage handed back, for the next frames
};

CAnimationPlayer::CAnimationPlayer(Receiver receiver) : m_receiver(std::move(receiver))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { OnTimer(); });
}

CAnimationPlayer::~CAnimationPlayer()
{
    Stop();
}

void CAnimationPlayer::Start(const std::string& path)
{
    Stop();
    m_pShared = std::make_shared<Shared>();
    m_clock.start();
    m_worker = std::thread(Work, m_pShared, this, path);
}

void CAnimationPlayer::Stop()
{
    if (m_worker.joinable())
    {
        {
            std::lock_guard guard(m_pShared->lock);
            m_pShared->bStop = true;
        }
        m_pShared->wake.notify_all();
        m_worker.join();
    }
    m_pShared.reset();
    m_timer.stop();
    m_pReady.reset();
    m_bAnimation = false;
    m_bPlaying = true;
    m_bEnded = false;
    m_bAsked = false;
    m_bShowOnArrival = false;
    m_bDueNow = false;
    m_nShown = -1;
}

void CAnimationPlayer::Request(Ask ask, int nSeekTo)
{
    m_bAsked = true;
    {
        std::lock_guard guard(m_pShared->lock);
        m_pShared->ask = ask;
        m_pShared->nSeekTo = nSeekTo;
        m_nSerial = ++m_pShared->nSerial;
    }
    m_pShared->wake.notify_all();
}

void CAnimationPlayer::Work(const std::shared_ptr<Shared>& shared, CAnimationPlayer* player,
                            std::string path)
{
    // Calls posted to the player after it went are dropped by Qt; it joins
    // this thread before it goes, and a new start makes a new Shared.
    const auto post = [&](auto call)
    {
        QMetaObject::invokeMethod(
            player,
            [player, shared, call]
            {
                if (player->m_pShared == shared)
                    call();
            },
            Qt::QueuedConnection);
    };
    std::unique_ptr<CAnimation> animation;
    try
    {
        CAnyPicDecoder decoder;
        animation = decoder.OpenAnimation(path);
    }
    catch (const std::exception&)
    {
        // The still decode has already told what is wrong with the file.
    }
    const bool bAnimation = animation != nullptr;
    post([player, bAnimation] { player->OnOpened(bAnimation); });
    if (!animation)
        return;

    int nPlays = 1; // the play under way
    for (;;)
    {
        Ask ask;
        int nSeekTo;
        unsigned nSerial;
        auto frame = std::make_shared<Frame>();
        {
            std::unique_lock guard(shared->lock);
            shared->wake.wait(guard, [&] { return shared->bStop || shared->ask != Ask::kNone; });
            if (shared->bStop)
                return;
            ask = std::exchange(shared->ask, Ask::kNone);
            nSeekTo = shared->nSeekTo;
            nSerial = shared->nSerial;
            if (!shared->spare.empty())
            {
                *frame = std::move(shared->spare.back());
                shared->spare.pop_back();
            }
        }
        // A damaged frame ends the frames of a play: the canvas keeps what
        // was composed, and the next play starts again at the first.
        const auto next = [&]
        {
            try
            {
                return animation->NextFrame();
            }
            catch (const CTextException&)
            {
                return false;
            }
        };
        bool bEnded = false;
        if (ask == Ask::kSeek)
        {
            nPlays = 1;
            animation->Rewind();
            while ((nSeekTo < 0 || animation->GetFrameIndex() < nSeekTo) && next())
            {
            }
            bEnded = animation->GetFrameIndex() < 0;
        }
        else if (!next())
        {
            const int nLoops = animation->GetLoopCount();
            // An animation whose first frame cannot be composed any more ends.
            if (ask == Ask::kStep || nLoops == 0 || nPlays < nLoops)
            {
                nPlays++;
                animation->Rewind();
                bEnded = !next();
            }
            else
                bEnded = true;
        }
        if (!bEnded)
        {
            try
            {
                CopyCanvas(animation->GetCanvas(), *frame);
            }
            catch (const std::exception&)
            {
                bEnded = true; // no memory for the frame: the one on screen stays
            }
            frame->nIndex = animation->GetFrameIndex();
            frame->nDelay = animation->GetDelay();
        }
        post([player, frame, bEnded, nSerial] { player->OnComposed(frame, bEnded, nSerial); });
    }
}

void CAnimationPlayer::OnOpened(bool bAnimation)
{
    m_bAnimation = bAnimation;
    if (!bAnimation)
        return;
    m_bShowOnArrival = true;
    Request(Ask::kPlay);
}

void CAnimationPlayer::Recycle(Frame frame)
{
    if ((!frame.pBmp && !frame.pDisplay) || !m_pShared)
        return;
    std::lock_guard guard(m_pShared->lock);
    if (m_pShared->spare.size() < 2)
        m_pShared->spare.push_back(std::move(frame));
}

void CAnimationPlayer::OnComposed(const std::shared_ptr<Frame>& frame, bool bEnded, unsigned nSerial)
{
    // A frame asked for before a newer request is of no use any more.
    if (nSerial != m_nSerial)
    {
        Recycle(std::move(*frame));
        return;
    }
    m_bAsked = false;
    if (bEnded)
    {
        Recycle(std::move(*frame));
        m_bShowOnArrival = false;
        m_bEnded = true;
        m_timer.stop();
        return;
    }
    if (m_bShowOnArrival || (m_bDueNow && IsPlaying()))
    {
        m_bShowOnArrival = false;
        if (IsPlaying())
            ShowPlaying(std::move(*frame));
        else
            Show(std::move(*frame));
        return;
    }
    m_pReady = std::make_unique<Frame>(std::move(*frame));
}

void CAnimationPlayer::Show(Frame frame)
{
    m_nShown = frame.nIndex;
    m_nShownDelay = frame.nDelay;
    Recycle(m_receiver(std::move(frame)));
}

void CAnimationPlayer::ShowPlaying(Frame frame)
{
    const qint64 now = m_clock.elapsed();
    // On time, the frame's slot starts where the last one's ended, so that
    // timer latency does not add up; late, it starts now.
    const qint64 start = m_nShown < 0 ? now : std::max(m_nDue, now - kSlackMs);
    m_nDue = start + frame.nDelay;
    m_bDueNow = false;
    Show(std::move(frame));
    m_timer.start(int(std::max<qint64>(0, m_nDue - now)));
    if (!m_bAsked && !m_pReady)
        Request(Ask::kPlay);
}

void CAnimationPlayer::OnTimer()
{
    if (!IsPlaying())
        return;
    if (!m_pReady)
    {
        m_bDueNow = true; // shown the moment it is composed
        return;
    }
    Frame frame = std::move(*m_pReady);
    m_pReady.reset();
    ShowPlaying(std::move(frame));
}

void CAnimationPlayer::SetPlaying(bool bPlay)
{
    if (!m_bAnimation || bPlay == IsPlaying())
        return;
    m_bPlaying = bPlay;
    m_bDueNow = false;
    m_timer.stop();
    if (!bPlay)
        return;
    if (m_bEnded)
    {
        // Played out: from the first frame again.
        m_bEnded = false;
        SeekAndShow(0);
        return;
    }
    // The frame on screen shows its whole delay again.
    m_nDue = m_clock.elapsed() + m_nShownDelay;
    m_timer.start(m_nShownDelay);
    if (!m_bAsked && !m_pReady)
        Request(Ask::kPlay);
}

void CAnimationPlayer::SeekAndShow(int nIndex)
{
    if (m_pReady)
        Recycle(std::move(*m_pReady));
    m_pReady.reset();
    m_nShown = -1;
    m_bShowOnArrival = true;
    Request(Ask::kSeek, nIndex);
}

void CAnimationPlayer::StepForward()
{
    if (!m_bAnimation || IsPlaying())
        return;
    if (m_bEnded)
    {
        m_bEnded = false;
        SeekAndShow(0);
        return;
    }
    if (m_pReady)
    {
        Frame frame = std::move(*m_pReady);
        m_pReady.reset();
        Show(std::move(frame));
        Request(Ask::kStep);
        return;
    }
    m_bShowOnArrival = true;
    if (!m_bAsked)
        Request(Ask::kStep);
}

void CAnimationPlayer::StepBack()
{
    if (!m_bAnimation || IsPlaying())
        return;
    m_bEnded = false;
    // Before the first comes the last (-1).
    SeekAndShow(m_nShown > 0 ? m_nShown - 1 : -1);
}
