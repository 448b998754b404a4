#include "LoopAutoScrollThread.h"

using Clock = std::chrono::steady_clock;

bool CLoopAutoScrollThread::Reply::Begin()
{
    std::lock_guard lock(m_lock);
    if (m_state != Waiting)
        return false;
    m_state = Running;
    return true;
}

void CLoopAutoScrollThread::Reply::Finish(const Positions& after)
{
    {
        std::lock_guard lock(m_lock);
        if (m_state != Running)
            return;
        m_after = after;
        m_state = Done;
    }
    m_done.notify_all();
}

bool CLoopAutoScrollThread::Reply::Wait(Positions& after)
{
    std::unique_lock lock(m_lock);
    m_done.wait(lock, [this] { return m_state == Done || m_state == Cancelled; });
    after = m_after;
    return m_state == Done;
}

void CLoopAutoScrollThread::Reply::Cancel()
{
    {
        std::lock_guard lock(m_lock);
        if (m_state == Done)
            return;
        m_state = Cancelled;
    }
    m_done.notify_all();
}

CLoopAutoScrollThread::CLoopAutoScrollThread(int nUser1, int nUser2) : CThread(nUser1, nUser2)
{
    m_bUseEvent = true;
}

CLoopAutoScrollThread::~CLoopAutoScrollThread()
{
    Kill(0, true);
}

int CLoopAutoScrollThread::Run()
{
    m_bLoop = true;
    while (m_bLoop && !IsStopRequested() && PanOnce())
    {
    }
    return 0;
}

void CLoopAutoScrollThread::OnStopRequested()
{
    m_bLoop = false;
    std::lock_guard lock(m_replyLock);
    if (m_pReply)
        m_pReply->Cancel();
}

bool CLoopAutoScrollThread::PanOnce()
{
    const int delay = m_nPanDelay;
    return Sleep(delay) && Sweep(StepKind::Vertical, true) && Sleep(delay) &&
           Sweep(StepKind::Horizontal, true) && Sleep(delay) && Sweep(StepKind::Vertical, false) &&
           Sleep(delay) && Sweep(StepKind::Horizontal, false);
}

bool CLoopAutoScrollThread::Sweep(StepKind kind, bool bForward)
{
    // Forward ends one short of the far edge, back one short of the near
    // edge, so that the next pass starts from there. The far edge follows
    // the view when its range changes under the sweep.
    Positions at;
    if (!Ask(StepKind::Read, 0, at))
        return false;
    const bool bVertical = kind == StepKind::Vertical;
    const auto target = [&] { return bForward ? (bVertical ? at.maxV : at.maxH) - 1 : 1; };
    const int step = bForward ? 1 : -1;
    int pos = bVertical ? at.v : at.h;
    m_nextStep = Clock::now();
    while (bForward ? pos < target() : pos > target())
    {
        pos += step;
        if (!Move(kind, pos, at))
            return false;
        if ((bVertical ? at.v : at.h) != pos)
            return true; // the view did not follow: its range shrank
    }
    return true;
}

bool CLoopAutoScrollThread::Move(StepKind kind, int nPos, Positions& at)
{
    // One step a frame. A step that was carried out late starts the count
    // again, so that the next one does not follow it within the same frame.
    const auto interval = std::chrono::microseconds(m_nStepUs.load());
    if (interval.count() <= 0)
        return Ask(kind, nPos, at);
    m_nextStep = std::max(m_nextStep + interval, Clock::now());
    if (!SleepUntil(m_nextStep) || !Ask(kind, nPos, at))
        return false;
    const auto done = Clock::now();
    if (done > m_nextStep + interval / 2)
        m_nextStep = done;
    return true;
}

bool CLoopAutoScrollThread::Ask(StepKind kind, int nPos, Positions& at)
{
    auto reply = std::make_shared<Reply>();
    {
        std::lock_guard lock(m_replyLock);
        if (IsStopRequested() || !m_dispatch)
            return false;
        m_pReply = reply;
    }
    const bool bOk = m_dispatch(kind, nPos, reply) && reply->Wait(at);
    std::lock_guard lock(m_replyLock);
    m_pReply.reset();
    return bOk && !IsStopRequested();
}
