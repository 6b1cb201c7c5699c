#include "control_channel.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

namespace {

constexpr size_t MAX_COMMAND_LINE = 64;
constexpr size_t MAX_SCENARIO_BYTES = 64 << 20;

bool SendAll(int fd, const std::string& text) {
    for (size_t sent = 0; sent < text.size();) {
        ssize_t count = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (count <= 0) {
            return false;
        }
        sent += static_cast<size_t>(count);
    }
    return true;
}

// Appends from the socket until *data holds at least size bytes; false on end of stream, error or timeout.
bool ReceiveUntil(int fd, std::string* data, size_t size) {
    char buffer[16384];
    while (data->size() < size) {
        ssize_t count = recv(fd, buffer, sizeof buffer, 0);
        if (count <= 0) {
            return false;
        }
        data->append(buffer, static_cast<size_t>(count));
    }
    return true;
}

} // namespace

bool ControlChannel::Start(const Endpoint& address, ControlCommands commands, std::string* error) {
    Stop();
    listen_fd_ = BindSocket(SOCK_STREAM, address, error);
    if (listen_fd_ < 0) {
        return false;
    }
    bound_ = LocalEndpoint(listen_fd_);
    commands_ = std::move(commands);
    stopping_ = false;
    thread_ = std::thread(&ControlChannel::Run, this);
    return true;
}

void ControlChannel::Stop() {
    if (listen_fd_ < 0) {
        return;
    }
    stopping_ = true;
    shutdown(listen_fd_, SHUT_RDWR); // wakes the accept
    thread_.join();
    close(listen_fd_);
    listen_fd_ = -1;
}

void ControlChannel::Run() {
    while (!stopping_) {
        int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE) {
                usleep(100000); // out of descriptors: let the pending connection wait rather than spin
            }
            continue; // otherwise stopping, or a connection that went away before we took it
        }
        // A client that stalls must not hold the channel for long.
        timeval timeout{10, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        Serve(fd);
        close(fd);
    }
}

void ControlChannel::Serve(int fd) {
    std::string data;
    size_t newline = std::string::npos;
    while ((newline = data.find('\n')) == std::string::npos) {
        if (data.size() > MAX_COMMAND_LINE || !ReceiveUntil(fd, &data, data.size() + 1)) {
            SendAll(fd, "ERROR no command line\n");
            return;
        }
    }
    std::string line = data.substr(0, newline);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    std::string payload = data.substr(newline + 1);

    if (line.compare(0, 5, "LOAD ") == 0) {
        size_t size = 0;
        const char* end = line.data() + line.size();
        auto [stop, result] = std::from_chars(line.data() + 5, end, size);
        if (result != std::errc() || stop != end || size > MAX_SCENARIO_BYTES) {
            SendAll(fd, "ERROR LOAD needs a byte count\n");
        } else if (!ReceiveUntil(fd, &payload, size)) {
            SendAll(fd, "ERROR the scenario ended after " + std::to_string(payload.size()) + " bytes\n");
        } else {
            payload.resize(size);
            SendAll(fd, commands_.load(std::move(payload)));
        }
    } else if (line == "LOG") {
        SendAll(fd, commands_.log());
    } else if (line == "CLEAR") {
        commands_.clear();
        SendAll(fd, "OK\n");
    } else if (line == "QUIT") {
        SendAll(fd, "OK\n");
        commands_.quit();
    } else {
        SendAll(fd, "ERROR unknown command\n");
    }
}
