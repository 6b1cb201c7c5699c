#include "service_harness.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/asio/post.hpp>

#include <algorithm>
#include <cstdio>

namespace skerrow_master {

ServiceOptions TestOptions() {
    ServiceOptions options;
    options.http = FromOctets(0x7F000001, 0);
    options.udp = FromOctets(0x7F000001, 0);
    options.timing.retry_after = milliseconds(100);
    options.timing.recheck = std::chrono::seconds(2);
    options.web.timeout = milliseconds(500);
    options.metrics = FromOctets(0x7F000001, 0);
    // The tests poll the list often from one address; the test of the limits sets its own.
    options.web.per_address = {1e6, 1e6};
    options.web.per_subnet = {1e6, 1e6};
    return options;
}

RunningService::RunningService(ServiceOptions options) {
    master_ = std::make_unique<SkerrowMaster>(io_, std::move(options), [this](const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        log_.push_back(line);
    });
    started_ = master_->Start(&error_);
    if (started_) {
        http_ = master_->http_address();
        udp_ = master_->udp_address();
        metrics_ = master_->metrics_address();
        thread_ = std::thread([this] { io_.run(); });
    }
}

void RunningService::Stop() {
    if (thread_.joinable()) {
        asio::post(io_, [this] {
            master_->Stop();
            io_.stop();
        });
        thread_.join();
    }
}

std::vector<std::string> RunningService::Log() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

std::string RunningService::AwaitLog(const std::string& text, milliseconds timeout) const {
    std::string found;
    WaitUntil(
        [&] {
            for (const std::string& line : Log()) {
                if (line.find(text) != std::string::npos) {
                    found = line;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

std::string Validated(const std::string& kind, const std::string& text) {
    char path[] = "/tmp/skerrow-master-web-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        return "FAILED: cannot write " + std::string(path);
    }
    close(fd);
    // Debian's own Python, whose packages (python3-jsonschema, python3-prometheus-client) the setup installs.
    std::string command = "/usr/bin/python3 " SKERROW_MASTER_TEST_DIR "/validate_web.py " + kind + " " + path + " 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (size_t count = 0; pipe && (count = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output.append(buffer, count);
    }
    int status = pipe ? pclose(pipe) : -1;
    unlink(path);
    return status == 0 ? output : "FAILED: " + output;
}

bool WaitUntil(const std::function<bool()>& condition, milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        std::this_thread::sleep_for(milliseconds(10));
    }
    return true;
}

std::vector<std::string> ListedFor(const ListEntry& http, const std::string& mod) {
    HttpReply reply = HttpGet(http, "/?mod=" + mod + "&raw=2");
    std::vector<std::string> listed;
    for (size_t offset = 0; offset + LIST_ENTRY_SIZE <= reply.body.size(); offset += LIST_ENTRY_SIZE) {
        listed.push_back(
            FormatAddress(ReadListEntry(reinterpret_cast<const unsigned char*>(reply.body.data() + offset))));
    }
    std::sort(listed.begin(), listed.end());
    return listed;
}

UdpPeer::UdpPeer(uint32_t host, uint16_t port) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local = ToSockaddr(FromOctets(host, port));
    socklen_t size = sizeof local;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &size) == 0) {
        address_ = {local.sin_addr.s_addr, ntohs(local.sin_port)};
    }
}

UdpPeer::~UdpPeer() {
    close(fd_);
}

void UdpPeer::Send(const ListEntry& to, const std::string& datagram) const {
    sockaddr_in address = ToSockaddr(to);
    sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
}

std::vector<std::pair<ListEntry, std::string>> UdpPeer::Receive(milliseconds quiet) const {
    std::vector<std::pair<ListEntry, std::string>> datagrams;
    pollfd ready{fd_, POLLIN, 0};
    std::vector<char> buffer(65536);
    while (poll(&ready, 1, static_cast<int>(quiet.count())) == 1) {
        sockaddr_in from{};
        socklen_t size = sizeof from;
        ssize_t count = recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &size);
        datagrams.emplace_back(ListEntry{from.sin_addr.s_addr, ntohs(from.sin_port)},
                               std::string(buffer.data(), static_cast<size_t>(count > 0 ? count : 0)));
    }
    return datagrams;
}

} // namespace skerrow_master
