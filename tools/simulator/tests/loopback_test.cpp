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
const std::string LIST_QUERY("query\n\0", 7);
const std::string LIST_HEADER("\xff\xff\xff\xffservers ");

std::string Entry(const Endpoint& address) {
    std::string entry;
    AppendListEntry(&entry, address);
    return entry;
}

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
    ~Client() { Close(); }

    std::string name() const { return FormatEndpoint(LocalEndpoint(fd_)); }
    int fd() const { return fd_; }
    // Frees its port for another socket.
    void Close() {
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
    }

    void Send(const Endpoint& to, const std::string& datagram) {
        sockaddr_in address = ToSockaddr(to);
        sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }

    // What arrives until wait_ms pass without anything more; the senders' addresses go to *from when given.
    std::vector<std::string> Receive(int wait_ms, std::vector<std::string>* from = nullptr) {
        std::vector<std::string> datagrams;
        pollfd ready{fd_, POLLIN, 0};
        char buffer[65536];
        while (poll(&ready, 1, wait_ms) == 1) {
            sockaddr_in sender{};
            socklen_t size = sizeof sender;
            ssize_t count = recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &size);
            datagrams.emplace_back(buffer, static_cast<size_t>(count > 0 ? count : 0));
            if (from) {
                from->push_back(FormatEndpoint(FromSockaddr(sender)));
            }
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
    auto entry = [](const ServerConfig& server) { return Entry(server.address); };

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

TEST_F(Loopback, UdpMastersAnswerListQueriesAsToldFromWhereTheyAreToldTo) {
    Start("[server]\naddress = 127.0.0.1:0\n"
          "[server]\naddress = 127.0.0.1:0\nlisted = 0\n"
          "[server]\naddress = 127.0.0.1:0\n"
          "[udp_master]\naddress = 127.0.0.1:0\nservers = all, 10.0.0.9:27999\nper_datagram = 2\n"
          "[udp_master]\naddress = 127.0.0.1:0\nservers = 10.0.0.8:27910\n"
          "[udp_master]\naddress = 127.0.0.1:0\nsilent = 1\n"
          "[udp_master]\naddress = 127.0.0.1:0\nservers =\n");
    std::vector<ServerConfig> servers = engine_.servers();
    ASSERT_EQ(servers.size(), 3u);
    std::vector<Endpoint> masters = engine_.udp_master_addresses();
    ASSERT_EQ(masters.size(), 4u);
    Client client;

    std::vector<std::string> from;
    client.Send(masters[0], LIST_QUERY);
    std::vector<std::string> split = client.Receive(300, &from);
    ASSERT_EQ(split.size(), 2u);
    EXPECT_EQ(split[0], LIST_HEADER + Entry(servers[0].address) + Entry(servers[2].address)) << "listed ones only";
    EXPECT_EQ(split[1], LIST_HEADER + std::string("\x0a\0\0\x09\x6d\x5f", 6)) << "10.0.0.9:27999, as lists carry it";
    EXPECT_EQ(from, std::vector<std::string>(2, FormatEndpoint(masters[0])));

    client.Send(masters[1], "\xff\xff\xff\xffquery");
    EXPECT_EQ(client.Receive(300), std::vector<std::string>{LIST_HEADER + Entry(Endpoint{0x0a000008, 27910})});
    client.Send(masters[2], LIST_QUERY);
    client.Send(masters[3], "queryx");
    EXPECT_TRUE(client.Receive(300).empty()) << "silent, and not a query";
    client.Send(masters[3], LIST_QUERY);
    EXPECT_EQ(client.Receive(300), std::vector<std::string>{LIST_HEADER}) << "an empty list is the header alone";

    std::string log = Control("LOG\n");
    std::string first = FormatEndpoint(masters[0]);
    for (std::string line :
         {" master-query master=" + first + " from=" + client.name() + " bytes=7 action=answered\n",
          " master-list master=" + first + " from=" + first + " to=" + client.name() + " entries=2 bytes=24\n",
          " master-list master=" + first + " from=" + first + " to=" + client.name() + " entries=1 bytes=18\n",
          " master-query master=" + FormatEndpoint(masters[1]) + " from=" + client.name() +
              " bytes=9 action=answered\n",
          " master-query master=" + FormatEndpoint(masters[2]) + " from=" + client.name() + " bytes=7 action=silent\n",
          " master-query master=" + FormatEndpoint(masters[3]) + " from=" + client.name() + " bytes=6 action=ignored\n",
          " master-list master=" + FormatEndpoint(masters[3]) + " from=" + FormatEndpoint(masters[3]) +
              " to=" + client.name() + " entries=0 bytes=12\n"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line << " is not in\n" << log;
    }

    // A master that answers from another port of its address, and one that answers late; a LOAD closes the masters
    // with the servers.
    Client elsewhere;
    uint16_t other_port = LocalEndpoint(elsewhere.fd()).port;
    elsewhere.Close();
    std::string scenario =
        "[udp_master]\naddress = 127.0.0.1:0\nservers = 10.0.0.7:27910\nreply_from = " + std::to_string(other_port) +
        "\n[udp_master]\naddress = 127.0.0.1:0\ndelay_ms = 150\n";
    ASSERT_EQ(Control("LOAD " + std::to_string(scenario.size()) + "\n" + scenario), "OK\n");
    masters = engine_.udp_master_addresses();
    ASSERT_EQ(masters.size(), 2u);
    from.clear();
    client.Send(masters[0], LIST_QUERY);
    EXPECT_EQ(client.Receive(300, &from), std::vector<std::string>{LIST_HEADER + Entry(Endpoint{0x0a000007, 27910})});
    EXPECT_EQ(from, std::vector<std::string>{"127.0.0.1:" + std::to_string(other_port)});
    EXPECT_NE(Control("LOG\n").find(" from=127.0.0.1:" + std::to_string(other_port) + " to=" + client.name()),
              std::string::npos);

    auto asked = std::chrono::steady_clock::now();
    client.Send(masters[1], LIST_QUERY);
    client.Send(masters[1], LIST_QUERY);
    EXPECT_EQ(client.Receive(1000), std::vector<std::string>(2, LIST_HEADER)) << "each query answered, later";
    EXPECT_GE(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(150));
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
