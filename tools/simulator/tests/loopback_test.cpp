// The engine run in-process on ports the system picks, talked to over loopback as a client would.
#include "engine.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "reply_builder.h"

namespace {

const Endpoint LOOPBACK_ANY_PORT{0x7f000001, 0};
const std::string STATUS_QUERY("\xff\xff\xff\xffstatus\n\0", 12);

int Connect(const Endpoint& endpoint) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = ToSockaddr(endpoint);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

// Sends the request and reads until the other side closes (or drops) the connection.
std::string Exchange(const Endpoint& endpoint, const std::string& request) {
    int fd = Connect(endpoint);
    EXPECT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    std::string answer;
    char buffer[4096];
    ssize_t count = 0;
    while ((count = recv(fd, buffer, sizeof buffer, 0)) > 0) {
        answer.append(buffer, static_cast<size_t>(count));
    }
    close(fd);
    return answer;
}

struct HttpResult {
    std::string head;
    std::string body;
};

HttpResult Get(const Endpoint& master, const std::string& target) {
    std::string response = Exchange(master, "GET " + target +
                                                " HTTP/1.1\r\nHost: master\r\nUser-Agent: sim-test\r\n"
                                                "Connection: close\r\n\r\n");
    size_t end = response.find("\r\n\r\n");
    EXPECT_NE(end, std::string::npos) << response;
    if (end == std::string::npos) {
        return {};
    }
    return {response.substr(0, end), response.substr(end + 4)};
}

class Client {
public:
    Client() : fd_(BindSocket(SOCK_DGRAM, LOOPBACK_ANY_PORT, &error_)) { EXPECT_GE(fd_, 0) << error_; }
    ~Client() { close(fd_); }

    std::string name() const { return FormatEndpoint(LocalEndpoint(fd_)); }

    void Send(const Endpoint& to, const std::string& datagram) {
        sockaddr_in address = ToSockaddr(to);
        sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }

    // What arrives until wait_ms pass without anything more.
    std::vector<std::string> Receive(int wait_ms) {
        std::vector<std::string> datagrams;
        pollfd ready{fd_, POLLIN, 0};
        char buffer[65536];
        while (poll(&ready, 1, wait_ms) == 1) {
            ssize_t count = recv(fd_, buffer, sizeof buffer, 0);
            datagrams.emplace_back(buffer, static_cast<size_t>(count > 0 ? count : 0));
        }
        return datagrams;
    }

private:
    std::string error_;
    int fd_;
};

class Loopback : public ::testing::Test {
protected:
    void Start(const std::string& text) {
        Scenario scenario;
        std::string error;
        ASSERT_TRUE(ParseScenario(text, &scenario, &error)) << error;
        EngineOptions options;
        options.http = LOOPBACK_ANY_PORT;
        options.control = LOOPBACK_ANY_PORT;
        ASSERT_TRUE(engine_.Start(options, std::move(scenario), &error)) << error;
    }

    std::string Control(const std::string& request) { return Exchange(engine_.control_address(), request); }

    EventLog log_;
    Engine engine_{&log_};
};

TEST_F(Loopback, MasterListsServersThatAnswerTheirStatus) {
    Start("[filters]\ntext = \"Deathmatch\\nffa\\nCapture The Flag\\nctf\\n\"\n"
          "[server]\naddress = 127.0.0.1:0\nmod = ctf\nhostname = Flag Run\nplayer = 5 40 Alice\n"
          "[server]\naddress = 127.0.0.1:0\nhostname = Plain\n"
          "[server]\naddress = 127.0.0.1:0\nmod = ctf\nlisted = 0\n");
    std::vector<ServerConfig> servers = engine_.servers();
    ASSERT_EQ(servers.size(), 3u);
    auto entry = [](const ServerConfig& server) {
        uint32_t host = server.address.host;
        uint16_t port = server.address.port;
        return std::string{static_cast<char>(host >> 24), static_cast<char>(host >> 16), static_cast<char>(host >> 8),
                           static_cast<char>(host),       static_cast<char>(port >> 8),  static_cast<char>(port)};
    };

    HttpResult ctf = Get(engine_.http_address(), "/?mod=ctf&raw=2");
    EXPECT_EQ(ctf.head.compare(0, 15, "HTTP/1.1 200 OK"), 0) << ctf.head;
    EXPECT_NE(ctf.head.find("Content-Type: application/octet-stream"), std::string::npos) << ctf.head;
    EXPECT_EQ(ctf.body, entry(servers[0]));
    EXPECT_EQ(Get(engine_.http_address(), "/?raw=2&mod=").body, entry(servers[0]) + entry(servers[1]));
    EXPECT_EQ(Get(engine_.http_address(), "/?mod=%63tf&raw=2").body, ""); // compared undecoded
    EXPECT_EQ(Get(engine_.http_address(), "/filters").body, "Deathmatch\nffa\nCapture The Flag\nctf\n");
    EXPECT_EQ(Get(engine_.http_address(), "/?mod=ctf").head.compare(0, 12, "HTTP/1.1 404"), 0);

    Client client;
    client.Send(servers[0].address, STATUS_QUERY);
    std::vector<std::string> replies = client.Receive(500);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0], "\xff\xff\xff\xffprint\n\\hostname\\Flag Run\n5 40 \"Alice\"\n");

    std::string log = Control("LOG\n");
    std::string server = FormatEndpoint(servers[0].address);
    for (std::string line : {std::string(" http target=/?mod=ctf&raw=2 ua=\"sim-test\" cache-control=- pragma=- "
                                         "status=200\n"),
                             std::string(" http target=/?mod=%63tf&raw=2 "),
                             " query server=" + server + " from=" + client.name() + " bytes=12 action=replied\n",
                             " reply server=" + server + " from=" + server + " to=" + client.name() +
                                 " bytes=" + std::to_string(replies[0].size()) + "\n"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line << " is not in\n" << log;
    }
    EXPECT_EQ(Control("CLEAR\n"), "OK\n");
    EXPECT_EQ(Control("LOG\n"), "");
}

TEST_F(Loopback, ServersMisbehaveAsToldAndLoadReplacesTheScenario) {
    Start("[server]\naddress = 127.0.0.1:0\nanswer_from = 2\nduplicates = 1\nhostname = Second Try\n"
          "[server]\naddress = 127.0.0.1:0\nsilent = 1\n"
          "[server]\naddress = 127.0.0.1:0\ndelay_ms = 150\n");
    std::vector<ServerConfig> servers = engine_.servers();
    ASSERT_EQ(servers.size(), 3u);
    Client client;

    client.Send(servers[0].address, STATUS_QUERY);
    client.Send(servers[0].address, "\xff\xff\xff\xffinfo 34\n");
    client.Send(servers[1].address, STATUS_QUERY);
    EXPECT_TRUE(client.Receive(200).empty());
    client.Send(servers[0].address, "\xff\xff\xff\xffstatus 23\n");
    std::vector<std::string> replies = client.Receive(200);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0], BuildStatusReply(servers[0]));
    EXPECT_EQ(replies[1], replies[0]);

    auto sent = std::chrono::steady_clock::now();
    client.Send(servers[2].address, STATUS_QUERY);
    EXPECT_EQ(client.Receive(1000).size(), 1u);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(150));

    std::string log = Control("LOG\n");
    for (const char* action :
         {"bytes=12 action=early", "bytes=12 action=ignored", "bytes=12 action=silent", "bytes=14 action=replied"}) {
        EXPECT_NE(log.find(action), std::string::npos) << action << " is not in\n" << log;
    }

    std::string scenario = "[master]\nbody = abcdefgh\nclose_after = 3\n";
    EXPECT_EQ(Control("LOAD " + std::to_string(scenario.size()) + "\n" + scenario), "OK\n");
    EXPECT_TRUE(engine_.servers().empty());
    EXPECT_EQ(Control("LOG\n"), "");
    HttpResult cut = Get(engine_.http_address(), "/?mod=&raw=2");
    EXPECT_NE(cut.head.find("Content-Length: 8"), std::string::npos) << cut.head;
    EXPECT_EQ(cut.body, "abc");

    EXPECT_EQ(Control("LOAD 9\n[server]\n"), "ERROR line 1: [server] without an address\n");
}

TEST_F(Loopback, ServersAnnounceThemselvesToTheirMastersFromTheirGamePorts) {
    Client master;
    Start("[heartbeat]\nmaster = " + master.name() +
          "\ninterval_s = 1\n"
          "[server]\naddress = 127.0.0.1:0\ngamename = ctf\nplayer = 5 40 Alice\nraw = odd\n"
          "[server]\naddress = 127.0.0.1:0\nheartbeat = 0\n");
    ServerConfig server = engine_.servers().at(0);
    std::vector<std::string> started = master.Receive(300);
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0], "\xff\xff\xff\xffping");
    EXPECT_EQ(started[1], "\xff\xff\xff\xffheartbeat\n\\gamename\\ctf\n5 40 \"Alice\"\n") << "not the raw reply";
    std::string heartbeat_line = " master server=" + FormatEndpoint(server.address) + " to=" + master.name() +
                                 " sent=heartbeat bytes=" + std::to_string(started[1].size()) + "\n";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::string log = Control("LOG\n");
    while (log.find(heartbeat_line) == log.rfind(heartbeat_line) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        log = Control("LOG\n");
    }
    EXPECT_NE(log.find(heartbeat_line), log.rfind(heartbeat_line)) << "a second heartbeat after the interval:\n" << log;

    engine_.Stop();
    std::vector<std::string> rest = master.Receive(300);
    ASSERT_GE(rest.size(), 2u);
    EXPECT_EQ(rest.front(), started[1]);
    EXPECT_EQ(rest.back(), "\xff\xff\xff\xffshutdown");
}

} // namespace
