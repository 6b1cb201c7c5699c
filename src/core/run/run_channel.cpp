#include "core/run/run_channel.h"

void RunChannel::Push(RunEvent event, bool atOnce) {
    channel_.Push([&](RunReport& queued) { queued.events.push_back(std::move(event)); }, atOnce);
}

void RunChannel::PushTable(std::shared_ptr<ServerTable> table) {
    channel_.Push([&](RunReport& queued) { queued.table = std::move(table); }, true);
}

void RunChannel::PushEnd(RunEnd end) {
    channel_.Push([&](RunReport& queued) { queued.end = std::move(end); }, true);
}

RunReport RunChannel::Take() {
    return channel_.Take([](RunReport& queued, bool& found) {
        RunReport taken;
        std::swap(taken, queued);
        found = !taken.Empty();
        return taken;
    });
}
