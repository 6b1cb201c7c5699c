#include "udp_masters.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "wake_event.h"

namespace {

const std::string LIST_HEADER = "\xff\xff\xff\xffservers ";
constexpr size_t ENTRY_BYTES = 6;
// Delayed answers kept at once; queries beyond them (a flood) are dropped.
constexpr size_t MAX_PENDING_ANSWERS = 65536;

} // namespace

std::vector<std::string> BuildListDatagrams(const UdpMasterConfig& master, const std::vector<ServerConfig>& servers) {
    std::vector<Endpoint> entries;
    if (master.all) {
        for (const ServerConfig& server : servers) {
            if (server.listed) {
                entries.push_back(server.address);
            }
        }
    }
    entries.insert(entries.end(), master.extra.begin(), master.extra.end());

    size_t per_datagram = std::clamp<size_t>(master.per_datagram, 1, MAX_ENTRIES_PER_DATAGRAM);
    std::vector<std::string> datagrams;
    for (size_t first = 0; first < entries.size() || datagrams.empty(); first += per_datagram) {
        std::string datagram = LIST_HEADER;
        for (size_t i = first; i < std::min(entries.size(), first + per_datagram); ++i) {
            AppendListEntry(&datagram, entries[i]);
        }
        datagrams.push_back(std::move(datagram));
    }
    return datagrams;
}

bool IsListQuery(const char* data, size_t size) {
    std::string_view datagram(data, size);
    if (datagram.compare(0, 4, "\xff\xff\xff\xff") == 0) {
        datagram.remove_prefix(4);
    }
    if (datagram.compare(0, 5, "query") != 0) {
        return false;
    }
    return datagram.size() == 5 || datagram[5] == '\n' || datagram[5] == '\0' || datagram[5] == ' ';
}

bool UdpMasters::Bind(Master* master, std::string* error) {
    master->fd = BindSocket(SOCK_DGRAM, master->config.address, error);
    if (master->fd < 0) {
        return false;
    }
    master->config.address = LocalEndpoint(master->fd);
    master->name = FormatEndpoint(master->config.address);
    master->reply_from = master->name;
    if (master->config.reply_from != 0) {
        Endpoint from{master->config.address.host, static_cast<uint16_t>(master->config.reply_from)};
        master->reply_fd = BindSocket(SOCK_DGRAM, from, error);
        if (master->reply_fd < 0) {
            return false;
        }
        master->reply_from = FormatEndpoint(from);
    }
    fcntl(master->fd, F_SETFL, O_NONBLOCK);
    return true;
}

bool UdpMasters::Start(const std::vector<UdpMasterConfig>& masters, const std::vector<ServerConfig>& servers,
                       std::string* error) {
    Stop();
    wake_fd_ = OpenWakeEvent();
    if (wake_fd_ < 0) {
        *error = std::string("eventfd: ") + std::strerror(errno);
        return false;
    }
    masters_.resize(masters.size());
    for (size_t i = 0; i < masters.size(); ++i) {
        masters_[i].config = masters[i];
        masters_[i].datagrams = BuildListDatagrams(masters[i], servers);
        if (!Bind(&masters_[i], error)) {
            CloseAll();
            return false;
        }
        addresses_.push_back(masters_[i].config.address);
    }
    thread_ = std::thread(&UdpMasters::Run, this);
    return true;
}

void UdpMasters::Stop() {
    EndWorker(wake_fd_, &thread_);
    CloseAll();
}

void UdpMasters::CloseAll() {
    for (Master& master : masters_) {
        for (int fd : {master.fd, master.reply_fd}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    masters_.clear();
    addresses_.clear();
    pending_.clear();
    if (wake_fd_ >= 0) {
        close(wake_fd_);
        wake_fd_ = -1;
    }
}

void UdpMasters::Run() {
    std::vector<pollfd> waits{{wake_fd_, POLLIN, 0}};
    for (const Master& master : masters_) {
        waits.push_back({master.fd, POLLIN, 0});
    }
    std::vector<char> buffer(65536);
    while (true) {
        if (poll(waits.data(), waits.size(), MillisUntilDue()) < 0 && errno != EINTR) {
            return;
        }
        if (waits[0].revents != 0) {
            return;
        }
        for (size_t i = 1; i < waits.size(); ++i) {
            if (waits[i].revents != 0) {
                Receive(i - 1, buffer.data(), buffer.size());
            }
        }
        uint64_t now = MonotonicMicros();
        auto waiting = std::stable_partition(pending_.begin(), pending_.end(),
                                             [now](const PendingAnswer& answer) { return answer.due_usec <= now; });
        for (auto due = pending_.begin(); due != waiting; ++due) {
            Answer(masters_[due->master], due->to);
        }
        pending_.erase(pending_.begin(), waiting);
    }
}

int UdpMasters::MillisUntilDue() const {
    if (pending_.empty()) {
        return -1;
    }
    uint64_t now = MonotonicMicros();
    uint64_t due = std::min_element(pending_.begin(), pending_.end(), [](const auto& a, const auto& b) {
                       return a.due_usec < b.due_usec;
                   })->due_usec;
    return due <= now ? 0 : static_cast<int>((due - now + 999) / 1000);
}

void UdpMasters::Receive(size_t index, char* buffer, size_t size) {
    Master& master = masters_[index];
    while (true) {
        sockaddr_in from{};
        socklen_t from_size = sizeof from;
        ssize_t received = recvfrom(master.fd, buffer, size, 0, reinterpret_cast<sockaddr*>(&from), &from_size);
        if (received < 0) {
            return; // drained
        }
        const char* action = "answered";
        if (!IsListQuery(buffer, static_cast<size_t>(received))) {
            action = "ignored";
        } else if (master.config.silent) {
            action = "silent";
        } else if (master.config.delay_ms > 0 && pending_.size() >= MAX_PENDING_ANSWERS) {
            action = "dropped";
        }
        log_->Add("master-query master=" + master.name + " from=" + FormatEndpoint(FromSockaddr(from)) +
                  " bytes=" + std::to_string(received) + " action=" + action);
        if (std::strcmp(action, "answered") != 0) {
            continue;
        }
        if (master.config.delay_ms == 0) {
            Answer(master, from);
        } else {
            pending_.push_back({MonotonicMicros() + static_cast<uint64_t>(master.config.delay_ms) * 1000, index, from});
        }
    }
}

void UdpMasters::Answer(const Master& master, const sockaddr_in& to) {
    int fd = master.reply_fd >= 0 ? master.reply_fd : master.fd;
    for (const std::string& datagram : master.datagrams) {
        ssize_t sent =
            sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (sent >= 0) {
            log_->Add("master-list master=" + master.name + " from=" + master.reply_from +
                      " to=" + FormatEndpoint(FromSockaddr(to)) +
                      " entries=" + std::to_string((datagram.size() - LIST_HEADER.size()) / ENTRY_BYTES) +
                      " bytes=" + std::to_string(sent));
        }
    }
}
