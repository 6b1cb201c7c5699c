#include "net/reply_handover.h"

#include "app/app_messages.h"
#include "app/app_state.h"

namespace {

SRWLOCK handOverLock = SRWLOCK_INIT;
std::vector<int32_t> queued; // indices accepted and not yet taken; under handOverLock
bool wakePosted = false;     // the user interface thread will take the queue without a new wake; under handOverLock

} // namespace

void BeginReplyHandOver() {
    AcquireSRWLockExclusive(&handOverLock);
    queued.clear();
    wakePosted = false;
    ReleaseSRWLockExclusive(&handOverLock);
}

void HandOverReply(int32_t index) {
    AcquireSRWLockExclusive(&handOverLock);
    queued.push_back(index);
    bool wake = !wakePosted;
    wakePosted = true;
    ReleaseSRWLockExclusive(&handOverLock);
    // A failed post (no dialog) leaves the flag set: nobody would take the queue, and the run's end asks anyway.
    if (wake && app.hMainDlg) {
        PostMessageW(app.hMainDlg, WM_APP_TAKE_REPLIES, 0, 0);
    }
}

void DeliverRepliesNow() {
    if (app.hMainDlg) {
        SendMessageW(app.hMainDlg, WM_APP_TAKE_REPLIES, TAKE_REPLIES_AT_ONCE, 0);
    }
}

bool TakeHandedOverReplies(std::vector<int32_t>& taken) {
    taken.clear();
    AcquireSRWLockExclusive(&handOverLock);
    taken.swap(queued);
    // While replies keep coming the taker comes back by itself; only an empty take lets the next reply wake it.
    wakePosted = !taken.empty();
    ReleaseSRWLockExclusive(&handOverLock);
    return !taken.empty();
}
