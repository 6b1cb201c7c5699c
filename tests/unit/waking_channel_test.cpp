// The wake-up contract between a worker and the thread that takes its reports.
#include "core/worker/waking_channel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "core/run/run_channel.h"
#include "core/run/run_status.h"
#include "core/text/text.h"

namespace {

using Queue = std::vector<int>;

std::vector<int> TakeAll(WakingChannel<Queue>& channel) {
    return channel.Take([](Queue& queue, bool& found) {
        Queue taken;
        taken.swap(queue);
        found = !taken.empty();
        return taken;
    });
}

void Push(WakingChannel<Queue>& channel, int value, bool forceWake = false) {
    channel.Push([value](Queue& queue) { queue.push_back(value); }, forceWake);
}

// The first push wakes the taker; pushes before its take do not; after a take that found something the taker comes
// back by itself, so only a take that found nothing lets the next push wake it. A forced wake-up always comes.
TEST(WakingChannel, WakesTheTakerOnlyForThePushAfterAnEmptyTake) {
    int wakes = 0;
    WakingChannel<Queue> channel([&] { ++wakes; });
    Push(channel, 1);
    Push(channel, 2);
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(TakeAll(channel), (std::vector<int>{1, 2}));
    Push(channel, 3);
    EXPECT_EQ(wakes, 1) << "a push after a take that found something";
    EXPECT_EQ(TakeAll(channel), (std::vector<int>{3}));
    EXPECT_TRUE(TakeAll(channel).empty());
    Push(channel, 4);
    EXPECT_EQ(wakes, 2) << "a push after an empty take";
    Push(channel, 5, true);
    EXPECT_EQ(wakes, 3) << "forced";
    channel.Detach();
    Push(channel, 6, true);
    EXPECT_EQ(wakes, 3) << "detached";
}

// Detaching while a wake-up is under way returns only once it has returned, and no wake-up starts after it: the
// wake-up may use what the taker owns.
TEST(WakingChannel, DetachingWaitsForAWakeUpUnderWay) {
    std::atomic<bool> waking{false};
    std::atomic<bool> release{false};
    std::atomic<int> calls{0};
    auto taker = std::make_unique<int>(7); // what the wake-up uses
    int* owned = taker.get();
    WakingChannel<Queue> channel([&] {
        ++calls;
        waking = true;
        while (!release) {
            std::this_thread::yield();
        }
        EXPECT_EQ(*owned, 7);
    });
    std::thread worker([&] { Push(channel, 1, true); });
    while (!waking) {
        std::this_thread::yield();
    }
    std::atomic<bool> detached{false};
    std::thread detacher([&] {
        channel.Detach();
        detached = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(detached) << "returned while the wake-up was under way";
    release = true;
    detacher.join();
    worker.join();
    taker.reset();
    Push(channel, 2, true);
    EXPECT_EQ(calls, 1);
}

// A take's texts are those the status line would show: of a flood at the bar's rate only the latest one or two are
// made (a third drops the older two), every text shown at once is kept, in order, and the channel wakes the taker
// for those, the table and the end.
TEST(RunChannel, ATakesTextsKeepTheLatestRatedOnesAndEveryOneShownAtOnce) {
    int wakes = 0;
    RunChannel channel([&] { ++wakes; });
    channel.Push(run_event::Fetching{}, true);
    for (uint16_t port = 1; port <= 5; ++port) {
        channel.Push(run_event::Query{0x0100007F, port, 1});
    }
    channel.Push(run_event::PassBegan{2}); // says nothing
    channel.Push(run_event::Answered{0});
    RunEnd end;
    end.queried = true;
    end.responded = 1;
    end.total = 5;
    channel.PushEnd(end);
    RunReport report = channel.Take();

    ServerTable table;
    ASSERT_TRUE(table.Append(0x0100007F, 27910, 0));
    table[0].playerCount = 2;
    TextCopy(table[0].hostname, LONG_INFO_SIZE, u"Flags");
    std::vector<std::u16string> texts;
    for (const StatusText& text : RunStatus({MasterEntry{MasterKind::Web, u"127.0.0.1", 80}}).Texts(report, &table)) {
        texts.push_back(text.text);
    }
    EXPECT_EQ(texts,
              (std::vector<std::u16string>{u"Fetching 127.0.0.1 server list...", u"Querying 127.0.0.1:5...",
                                           u"Found 2 players on 'Flags'", u"Completed. 1 of 5 servers responded."}));
    EXPECT_EQ(wakes, 2) << "the first push and the end";
    EXPECT_TRUE(channel.Take().Empty());
}

} // namespace
