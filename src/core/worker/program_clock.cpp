#include "core/worker/program_clock.h"

#include <chrono>

namespace {

class SystemProgramClock final : public ProgramClock {
public:
    uint64_t MonotonicMs() override {
        using namespace std::chrono;
        return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
    int64_t UnixSeconds() override {
        using namespace std::chrono;
        return static_cast<int64_t>(duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
    }
};

} // namespace

ProgramClock& SystemClock() {
    static SystemProgramClock clock;
    return clock;
}
