#include "core/worker/worker.h"

#include <pthread.h>

#include <cerrno>
#include <memory>
#include <new>

namespace {

void* RunWork(void* held) {
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(held));
    (*work)();
    return nullptr;
}

} // namespace

// The thread is created detached, never detached once it runs (as std::thread's detach() does): MinGW's thread
// library takes the record of a thread detached after its work ended back for the next thread while that thread is
// still on its way out. A worker that ends at once (a master whose name fails at once, as on any offline machine)
// could so leave the next worker's record wiped under it, and the program faulted as it closed (under Wine "page
// fault on execute access", a thread calling through its freed state).
bool StartWorker(std::function<void()> work, int* error) {
    auto* held = new (std::nothrow) std::function<void()>(std::move(work));
    int failed = held ? 0 : ENOMEM;
    pthread_attr_t attributes;
    if (failed == 0 && (failed = pthread_attr_init(&attributes)) == 0) {
        pthread_t thread;
        failed = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
        if (failed == 0) {
            failed = pthread_create(&thread, &attributes, RunWork, held);
        }
        pthread_attr_destroy(&attributes);
    }
    if (failed != 0) {
        delete held;
        if (error) {
            *error = failed;
        }
        return false;
    }
    return true;
}
