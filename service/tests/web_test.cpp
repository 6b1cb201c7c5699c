// The web side of the real service in-process: what the page and the API show of what servers say, and HTTP
// clients that are slow, oversized or greedy.
#include "service_harness.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "core/text/format.h"

namespace skerrow_master {

namespace {

const std::string STATUS_QUERY_BYTES("\xff\xff\xff\xffstatus\n\0", 12);

// The test process's resident memory (the service runs in it).
long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, 6, "VmRSS:") == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

TEST(Service, ThePageAndTheApiShowWhatAServerSaysEscapedAndItsLatestPlayers) {
    RunningService service;
    ASSERT_TRUE(service.started()) << service.error();
    UdpPeer server;
    server.Send(service.udp(), "\xff\xff\xff\xffheartbeat\n\\gamename\\action\n");
    auto checks = server.Receive(milliseconds(50)); // before the check is sent again
    ASSERT_EQ(checks.size(), 1u);
    ASSERT_EQ(checks[0].second, STATUS_QUERY_BYTES);
    // Its answer is hostile: markup, quotes, control characters and bytes that are no UTF-8, in every text.
    const std::string hostile = "<script>alert('x')</script> \"Q\" \x01\x1b\x7f \xff\xfe\xc3\x81";
    const std::string player = "</td><i>'&\x02\x80";
    server.Send(checks[0].first, "\xff\xff\xff\xffprint\n\\gamename\\action\\hostname\\" + hostile +
                                     "\\mapname\\<b>\n3 45 \"" + player + "\"\n");
    ASSERT_TRUE(WaitUntil([&] { return ListedFor(service.http(), "action").size() == 1; }));

    // The page and the API show it escaped, each read back by a real parser: characters of Windows-1252 as UTF-8,
    // control characters as U+FFFD on the page and kept (as \u00XX) in the JSON.
    for (const std::string target : {"/", "/?mod=ACTION&sort=name", "/?sort=map&page=2"}) {
        HttpReply page = HttpGet(service.http(), target);
        EXPECT_EQ(page.status, 200) << target;
        std::string texts = Validated("html", page.body);
        EXPECT_NE(texts.find("<script>alert('x')</script> \"Q\" \uFFFD\uFFFD\uFFFD ÿþÃ\uFFFD\n"), std::string::npos)
            << target << texts;
        EXPECT_NE(texts.find("</td><i>'&\uFFFD€\n"), std::string::npos) << target << texts;
    }
    HttpReply api = HttpGet(service.http(), "/api/servers?mod=action");
    EXPECT_EQ(api.status, 200);
    EXPECT_EQ(Validated("servers", api.body), "<script>alert('x')</script> \"Q\" \x01\x1b\x7f ÿþÃ\uFFFD\n"
                                              "</td><i>'&\x02€\n");
    EXPECT_EQ(Validated("servers", HttpGet(service.http(), "/api/servers?mod=ctf").body), "");
    EXPECT_EQ(Validated("health", HttpGet(service.http(), "/api/health").body), "");
    EXPECT_NE(HttpGet(service.http(), "/api/health").body.find("\"servers\":1}"), std::string::npos);

    // Listed servers are asked again at the re-check pace, and the players of the latest answer replace the old.
    bool fresh = WaitUntil([&] {
        for (const auto& [from, datagram] : server.Receive(milliseconds(5))) {
            server.Send(from, "\xff\xff\xff\xffprint\n\\gamename\\action\\hostname\\H\n9 20 \"fresh\"\n");
        }
        return HttpGet(service.http(), "/api/servers").body.find("\"fresh\"") != std::string::npos;
    });
    EXPECT_TRUE(fresh);
    EXPECT_EQ(Validated("servers", HttpGet(service.http(), "/api/servers").body), "H\nfresh\n");
}

TEST(Service, AnHttpRequestThatNeverEndsIsCutOffWhileOthersAreServed) {
    RunningService service;
    ASSERT_TRUE(service.started()) << service.error();
    int slow = ConnectFrom(service.http(), 0);
    ASSERT_GE(slow, 0);
    ASSERT_EQ(send(slow, "GET /filt", 9, 0), 9);
    // Another one keeps sending a byte of an endless field every 20 ms: arriving bytes do not stretch its deadline.
    int trickle = ConnectFrom(service.http(), 0);
    ASSERT_GE(trickle, 0);
    ASSERT_EQ(send(trickle, "GET / HTTP/1.1\r\nX-Slow: ", 24, 0), 24);

    EXPECT_EQ(HttpGet(service.http(), "/filters").status, 200);
    EXPECT_EQ(HttpGet(service.http(), "/servers").status, 404);
    EXPECT_EQ(HttpGet(service.http(), "/?mod=ctf&raw=2").status, 200);
    int sent = 0;
    for (bool open = true; open && sent < 250; ++sent) {
        open = send(trickle, "x", 1, MSG_NOSIGNAL) == 1;
        pollfd ready{trickle, POLLIN, 0};
        char byte = 0;
        open = open && !(poll(&ready, 1, 20) == 1 && recv(trickle, &byte, 1, 0) <= 0);
    }
    EXPECT_LT(sent, 250) << "cut by the service while it still trickled, not by our 5 s of bytes";
    timeval wait{5, 0};
    setsockopt(slow, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char byte = 0;
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(recv(slow, &byte, 1, 0), 0) << "closed by the service, not by our 5 s wait";
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
    close(slow);
    close(trickle);
}

TEST(Service, ARequestHeadIsCappedInBytesAndFieldsHoweverItArrives) {
    RunningService service;
    ASSERT_TRUE(service.started()) << service.error();
    // Host and Connection, then `fields` more.
    auto head = [](size_t fields, size_t value_bytes) {
        std::string text = "GET /filters HTTP/1.1\r\nHost: master\r\nConnection: close\r\n";
        for (size_t i = 0; i < fields; ++i) {
            text += fmt::format("X-{}: {}\r\n", i, std::string(value_bytes, 'v'));
        }
        return text + "\r\n";
    };
    const struct {
        std::string request;
        int status;
    } CASES[] = {
        {head(62, 8), 200},    // 64 fields
        {head(63, 8), 431},    // 65
        {head(10000, 1), 431}, // 10,000 fields, 80 KB
        {head(1, 8127), 200},  // 8,192 bytes
        {head(1, 8128), 431},  // 8,193 bytes
        {"GET /filters HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello", 413},
        {"GET /filters HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 413},
        {"HELLO\r\n\r\n", 400},
    };
    for (const auto& c : CASES) {
        EXPECT_EQ(HttpExchange(service.http(), c.request).status, c.status) << c.request.size() << " bytes";
    }

    // One connection streams small fields as fast as it can, as the attack that grew the service by gigabytes did:
    // it is answered 431 and cut off long before its 64 MB are sent, and the service's memory stays put.
    long resident_before = ResidentKilobytes();
    int stream = ConnectFrom(service.http(), 0);
    ASSERT_GE(stream, 0);
    std::string fields = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 2048; ++i) {
        fields += "X: y\r\n";
    }
    size_t streamed = 0;
    while (streamed < 64u << 20) {
        ssize_t count = send(stream, fields.data(), fields.size(), MSG_NOSIGNAL);
        if (count <= 0) {
            break;
        }
        streamed += static_cast<size_t>(count);
        fields = std::string(4096, 'z'); // the rest of one endless field
    }
    EXPECT_LT(streamed, 64u << 20) << "cut off";
    std::string answer(64, '\0');
    ssize_t got = recv(stream, answer.data(), answer.size(), 0);
    EXPECT_EQ(answer.substr(0, got > 12 ? 12 : 0), "HTTP/1.1 431");
    close(stream);
    EXPECT_EQ(HttpGet(service.http(), "/filters").status, 200);
    EXPECT_LT(ResidentKilobytes() - resident_before, 16 * 1024) << "kB grown";
}

TEST(Service, SlowConnectionsFromAFewAddressesOrACrowdLeaveASlotForOthers) {
    ServiceOptions options = TestOptions();
    options.web.timeout = std::chrono::seconds(10); // the slow ones keep their slots while the test runs
    RunningService service(options);
    ASSERT_TRUE(service.started()) << service.error();
    std::vector<int> slow;
    // Connections that send the start of a request and then nothing, `each` from each of `addresses` addresses
    // 127.S.i.1, every one in a /24 of its own.
    auto attack = [&](uint32_t second_byte, int addresses, int each) {
        for (int i = 0; i < addresses; ++i) {
            for (int j = 0; j < each; ++j) {
                int fd = ConnectFrom(service.http(), 0x7F000001 | second_byte << 16 | static_cast<uint32_t>(i) << 8);
                if (fd >= 0) {
                    send(fd, "GET / HTTP/1.1\r\nX-Slow: ", 24, MSG_NOSIGNAL);
                    slow.push_back(fd);
                }
            }
        }
    };
    auto still_open = [&] {
        size_t open = 0;
        for (int fd : slow) {
            pollfd ready{fd, POLLIN | POLLRDHUP, 0};
            open += poll(&ready, 1, 0) == 0 ? 1 : 0;
        }
        return open;
    };
    auto served = [&] {
        int count = 0;
        for (int i = 0; i < 20; ++i) {
            count += HttpGet(service.http(), "/?mod=&raw=2").status == 200 ? 1 : 0;
        }
        return count;
    };

    attack(1, 20, 30); // 600 from 20 addresses: 16 an address
    EXPECT_TRUE(WaitUntil([&] { return still_open() == 320; })) << still_open();
    EXPECT_EQ(served(), 20);
    attack(2, 40, 16); // a crowd of 40 more addresses fills all 512 slots, taking the oldest waiting ones
    EXPECT_TRUE(WaitUntil([&] { return still_open() == 512; })) << still_open();
    EXPECT_EQ(served(), 20) << "a newcomer from another /24 takes the slot of a waiting one";
    for (int fd : slow) {
        close(fd);
    }
}

TEST(Service, AClientThatHammersIsRateLimitedByAddressAndByNetworkAndOthersAreNot) {
    ServiceOptions options = TestOptions();
    options.web.per_address = {10, 5};
    options.web.per_subnet = {30, 15};
    RunningService service(options);
    ASSERT_TRUE(service.started()) << service.error();
    // How many of the requests, each on a connection of its own from first + i * step, got each status.
    auto ask = [&](uint32_t first, uint32_t step, int requests) {
        std::map<int, int> statuses;
        for (int i = 0; i < requests; ++i) {
            ++statuses[HttpGet(service.http(), "/filters", first + step * static_cast<uint32_t>(i)).status];
        }
        return statuses;
    };
    // The burst of 10, then 5 a second: a few more may come back while 40 requests go. The first refusal is a 429
    // (Retry-After: 1); until that second has passed, the address's connections are closed at the door.
    auto hammer = ask(0x7F050002, 0, 40);
    EXPECT_GE(hammer[200], 10);
    EXPECT_LT(hammer[200], 20);
    EXPECT_EQ(hammer[429], 1);
    EXPECT_EQ(hammer[0], 40 - hammer[200] - 1);
    EXPECT_EQ(ask(0x7F050002, 0, 5)[0], 5);
    // 40 addresses of the same /24, one request each, share its burst of 30, which the first has drawn on.
    int served = ask(0x7F050003, 1, 40)[200];
    EXPECT_GE(served, 12);
    EXPECT_LT(served, 30);
    EXPECT_EQ(ask(0x7F060001, 0, 10)[200], 10) << "another /24 has its own allowance";
    EXPECT_TRUE(WaitUntil([&] { return HttpGet(service.http(), "/filters", 0x7F050002).status == 200; }))
        << "served again once it has waited";
}

} // namespace

} // namespace skerrow_master
