#include "windows/support/throttle.h"

#include <mmsystem.h>

bool Throttle::Due() const {
    return timeGetTime() - last_ >= intervalMs_;
}

void Throttle::Done() {
    last_ = timeGetTime();
}

void Throttle::Schedule(HWND window, TIMERPROC later) {
    if (timerSet_ || !window) {
        return;
    }
    DWORD since = timeGetTime() - last_;
    UINT wait = since >= intervalMs_ ? USER_TIMER_MINIMUM : static_cast<UINT>(intervalMs_ - since);
    timerSet_ = SetTimer(window, timerId_, wait, later) != 0;
}

void Throttle::TimerEnded(HWND window) {
    if (timerSet_) {
        KillTimer(window, timerId_);
        timerSet_ = false;
    }
}
