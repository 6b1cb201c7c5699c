#include "core/watch/watch_querier.h"

#include <mutex>
#include <vector>

#include "core/protocol/status_reply.h"
#include "core/run/datagram_socket.h"
#include "core/worker/waking_channel.h"
#include "core/worker/worker.h"

namespace {

constexpr int WATCH_RECEIVE_BUFFER_BYTES = 64 * 1024;
// Room for a reply padded past what a server sends (a real one keeps to 1400 bytes).
constexpr size_t WATCH_DATAGRAM_SIZE = 4096;
// The most answers kept untaken: the window takes them within a moment, so more means nobody takes.
constexpr size_t MAX_WAITING_ANSWERS = 256;
// The most queries awaiting an answer; an older one is forgotten first.
constexpr size_t MAX_AWAITED = 1024;

struct Awaited {
    uint32_t addr;
    uint16_t port;
    uint32_t sentMs;
};

class SocketWatchQuerier final : public WatchQuerier, public std::enable_shared_from_this<SocketWatchQuerier> {
public:
    SocketWatchQuerier(std::unique_ptr<DatagramSocket> socket, std::function<void()> wake, AnsiDecoder decode)
        : socket_(std::move(socket)), decode_(decode), channel_(std::move(wake)) {}

    bool StartReceiver(int& error) {
        auto self = shared_from_this();
        return StartWorker([self] { self->Receive(); }, &error);
    }

    int Query(uint32_t addr, uint16_t port) override {
        {
            std::lock_guard<std::mutex> lock(awaitedMutex_);
            if (awaited_.size() >= MAX_AWAITED) {
                awaited_.erase(awaited_.begin());
            }
            // The clock is read before the send, as a run stamps its queries.
            awaited_.push_back(Awaited{addr, port, RunClockMs()});
        }
        return socket_->SendTo(addr, port, STATUS_QUERY, STATUS_QUERY_SIZE);
    }

    std::vector<WatchAnswer> Take() override {
        return channel_.Take([](std::vector<WatchAnswer>& queue, bool& found) {
            found = !queue.empty();
            return std::move(queue);
        });
    }

    void Stop() override {
        channel_.Detach();
        socket_->Interrupt();
    }

private:
    // The query the datagram answers, taken out: the oldest one still awaited from its server.
    bool TakeAwaited(uint32_t addr, uint16_t port, uint32_t& sentMs) {
        std::lock_guard<std::mutex> lock(awaitedMutex_);
        for (auto it = awaited_.begin(); it != awaited_.end(); ++it) {
            if (it->addr == addr && it->port == port) {
                sentMs = it->sentMs;
                awaited_.erase(it);
                return true;
            }
        }
        return false;
    }

    void Receive() {
        std::vector<char> datagram(WATCH_DATAGRAM_SIZE + 1);
        while (socket_->WaitReadable()) {
            for (;;) {
                size_t length = 0;
                uint32_t addr = 0;
                uint16_t port = 0;
                ReceiveStatus status = socket_->ReceiveFrom(datagram.data(), WATCH_DATAGRAM_SIZE, length, addr, port);
                uint32_t arrival = RunClockMs();
                if (status == ReceiveStatus::Empty) {
                    break;
                }
                uint32_t sentMs = 0;
                // Only an answer to a query of ours counts: anything else, or a second answer, is dropped.
                if (status == ReceiveStatus::Skipped || length == 0 || !TakeAwaited(addr, port, sentMs)) {
                    continue;
                }
                datagram[length] = 0;
                auto record = std::make_unique<ServerRecord>();
                record->addr = addr;
                record->port = port;
                ParseStatusText(datagram.data(), static_cast<int>(length), decode_, *record);
                record->ping = ElapsedMs(sentMs, arrival);
                record->queryTime = sentMs;
                record->attempts = 1;
                record->answered = 1;
                channel_.Push([&](std::vector<WatchAnswer>& queue) {
                    if (queue.size() < MAX_WAITING_ANSWERS) {
                        queue.push_back(std::move(record));
                    }
                });
            }
        }
    }

    const std::unique_ptr<DatagramSocket> socket_;
    const AnsiDecoder decode_;
    WakingChannel<std::vector<WatchAnswer>> channel_;
    std::mutex awaitedMutex_;
    std::vector<Awaited> awaited_; // under awaitedMutex_
};

} // namespace

std::shared_ptr<WatchQuerier> WatchQuerier::Start(std::function<void()> wake, AnsiDecoder decode, int& error) {
    auto socket = OpenDatagramSocket(WATCH_RECEIVE_BUFFER_BYTES, error);
    if (!socket) {
        return nullptr;
    }
    auto querier = std::make_shared<SocketWatchQuerier>(std::move(socket), std::move(wake), decode);
    if (!querier->StartReceiver(error)) {
        return nullptr;
    }
    return querier;
}
