#include "core/worker/worker.h"

#include <system_error>
#include <thread>

bool StartWorker(std::function<void()> work, int* error) {
    try {
        std::thread(std::move(work)).detach();
        return true;
    } catch (const std::system_error& failure) {
        if (error) {
            *error = failure.code().value();
        }
        return false;
    }
}
