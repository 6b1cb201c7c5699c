#include "core/run/run_channel.h"

void RunChannel::Queue::KeepText(std::u16string text, bool atOnce) {
    std::vector<StatusText>& texts = report.texts;
    if (atOnce) {
        ratedTexts = 0;
    } else if (ratedTexts == RATED_TEXTS_KEPT) {
        texts.erase(texts.end() - static_cast<std::ptrdiff_t>(ratedTexts), texts.end());
        ratedTexts = 0;
    }
    texts.push_back(StatusText{std::move(text), atOnce});
    if (!atOnce) {
        ++ratedTexts;
    }
}

void RunChannel::PushStatus(std::u16string text, bool atOnce) {
    channel_.Push([&](Queue& queue) { queue.KeepText(std::move(text), atOnce); }, atOnce);
}

void RunChannel::PushReply(int32_t index, std::u16string text) {
    channel_.Push([&](Queue& queue) {
        queue.report.replies.push_back(index);
        queue.KeepText(std::move(text), false);
    });
}

void RunChannel::PushTable(std::shared_ptr<ServerTable> table) {
    channel_.Push([&](Queue& queue) { queue.report.table = std::move(table); }, true);
}

void RunChannel::PushEnd() {
    channel_.Push([](Queue& queue) { queue.report.ended = true; }, true);
}

RunReport RunChannel::Take() {
    return channel_.Take([](Queue& queue, bool& found) {
        RunReport taken;
        std::swap(taken, queue.report);
        queue.ratedTexts = 0;
        found = !taken.Empty();
        return taken;
    });
}
