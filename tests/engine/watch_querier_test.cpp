// The watched servers' querier against servers on loopback that flood it, lie to it and vanish.
#include "core/watch/watch_querier.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/watch/watch_schedule.h"
#include "latin1.h"

namespace {

// A UDP socket on 127.0.0.1 at a port the system picks.
struct LoopbackSocket {
    LoopbackSocket() {
        fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t size = sizeof address;
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
    }
    ~LoopbackSocket() { close(fd); }
    // The next datagram within the time; its sender in `from`.
    bool Receive(sockaddr_in& from, int timeoutMs = 2000) {
        pollfd wait{fd, POLLIN, 0};
        if (poll(&wait, 1, timeoutMs) != 1) {
            return false;
        }
        char buffer[2048];
        socklen_t size = sizeof from;
        return recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size) > 0;
    }
    void SendTo(const sockaddr_in& to, const std::string& datagram) {
        sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    int fd;
    uint16_t port;
};

const uint32_t LOOPBACK = htonl(INADDR_LOOPBACK);

// Every answer the querier hands over within the time, taken as the window takes them.
std::vector<WatchAnswer> AnswersWithin(WatchQuerier& querier, int ms) {
    std::vector<WatchAnswer> answers;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        for (WatchAnswer& answer : querier.Take()) {
            answers.push_back(std::move(answer));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return answers;
}

TEST(WatchQuerier, TakesOneAnswerAQueryFromItsServerWhateverItSendsAndNothingFromAnyoneElse) {
    std::atomic<int> wakes{0};
    int error = 0;
    auto querier = WatchQuerier::Start([&] { ++wakes; }, DecodeLatin1, error);
    ASSERT_NE(querier, nullptr) << error;
    LoopbackSocket server, stranger;

    // A reply that lies: more players than it may hold and a maximum below zero; then a flood of the same.
    std::string lie = "\xff\xff\xff\xffprint\n\\hostname\\Liar\\maxclients\\-3\\mapname\\q2dm1\n";
    for (int i = 0; i < 200; ++i) {
        lie += "1 20 \"p" + std::to_string(i) + "\"\n";
    }
    ASSERT_EQ(querier->Query(LOOPBACK, server.port), 0);
    sockaddr_in from{};
    ASSERT_TRUE(server.Receive(from));
    stranger.SendTo(from, lie); // unasked
    for (int i = 0; i < 2000; ++i) {
        server.SendTo(from, lie);
    }
    std::vector<WatchAnswer> answers = AnswersWithin(*querier, 500);
    ASSERT_EQ(answers.size(), 1u) << "one answer to one query, however many come";
    const ServerRecord& record = *answers[0];
    EXPECT_EQ(record.port, server.port);
    EXPECT_EQ(std::u16string(record.hostname), u"Liar");
    EXPECT_EQ(record.playerCount, MAX_PLAYERS) << "the players a record holds";
    EXPECT_EQ(record.maxClients, -3);
    EXPECT_EQ(record.answered, 1);
    EXPECT_GE(wakes.load(), 1);
    // What the schedule makes of the lie: a server that holds no one is never full, so no slot frees.
    WatchSchedule schedule;
    std::vector<WatchChange> changes;
    WatchChange change;
    schedule.Watch({{LOOPBACK, server.port}});
    schedule.TakeDue(0, changes);
    EXPECT_FALSE(schedule.NoteAnswer(LOOPBACK, server.port, record.playerCount, record.maxClients, change));

    // The server vanishes: its next query draws nothing, and the querier goes on for the others.
    {
        LoopbackSocket gone;
        uint16_t port = gone.port;
        close(gone.fd);
        gone.fd = socket(AF_INET, SOCK_DGRAM, 0);
        EXPECT_EQ(querier->Query(LOOPBACK, port), 0);
    }
    EXPECT_TRUE(AnswersWithin(*querier, 300).empty());
    ASSERT_EQ(querier->Query(LOOPBACK, server.port), 0);
    ASSERT_TRUE(server.Receive(from));
    server.SendTo(from, "\xff\xff\xff\xffprint\n\\hostname\\Back\\maxclients\\8\n");
    answers = AnswersWithin(*querier, 500);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(std::u16string(answers[0]->hostname), u"Back");

    // Stopped: answers that come later wake nobody.
    ASSERT_EQ(querier->Query(LOOPBACK, server.port), 0);
    ASSERT_TRUE(server.Receive(from));
    querier->Stop();
    int before = wakes.load();
    server.SendTo(from, "\xff\xff\xff\xffprint\n\\hostname\\Late\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(wakes.load(), before);
}

} // namespace
