// "At most once every N milliseconds" for the window: whether a thing is due now, and a window timer for the moment
// it next is. One helper on one clock (the multimedia timer's, as the run's) for the status line's texts, the server
// list's repaints and the takes of a run's reports. Win32 side; user interface thread only.
#pragma once

#include <windows.h>

#include <cstdint>

class Throttle {
public:
    Throttle(UINT_PTR timerId, uint32_t intervalMs) : timerId_(timerId), intervalMs_(intervalMs) {}

    // It was last done at least an interval ago.
    bool Due() const;
    // It is done now: the interval counts from here.
    void Done();
    // The window's timer calls `later` once the interval since it was last done has passed; nothing when the timer
    // is set already or there is no window.
    void Schedule(HWND window, TIMERPROC later);
    // The timer went off (its callback calls this first) or is not wanted any more: it is killed and unset.
    void TimerEnded(HWND window);

private:
    UINT_PTR timerId_;
    uint32_t intervalMs_;
    DWORD last_ = 0;
    bool timerSet_ = false;
};
