#include "core/run/master_gathering.h"

#include <system_error>

#include "core/protocol/list_entry.h"
#include "core/run/run_texts.h"

namespace {

// A classic master's answers are small; the system's default buffer would do, this leaves room for a split list
// that comes in a burst.
constexpr int MASTER_RECEIVE_BUFFER_BYTES = 1024 * 1024;

} // namespace

MasterGathering::MasterGathering(const RunSnapshot& snapshot, const ListFetcher& fetch, WakeSignal& wake)
    : snapshot_(snapshot), fetch_(fetch), wake_(wake) {}

MasterGathering::~MasterGathering() {
    Interrupt();
    Join();
}

void MasterGathering::Start() {
    size_t count = snapshot_.masters.size();
    sockets_.resize(count);
    socketErrors_.assign(count, 0);
    for (size_t i = 0; i < count; ++i) {
        if (snapshot_.masters[i].kind == MasterKind::Udp) {
            sockets_[i] = OpenDatagramSocket(MASTER_RECEIVE_BUFFER_BYTES, socketErrors_[i]);
        }
    }
    for (size_t i = 0; i < count; ++i) {
        int master = static_cast<int>(i);
        try {
            threads_.emplace_back([this, master] { Ask(master); });
        } catch (const std::system_error& error) {
            End(master, false, UdpMasterFailedText(MasterStatusName(snapshot_.masters[i]),
                                                   {UdpMasterEnd::SendFailed, error.code().value()}));
        }
    }
}

void MasterGathering::Interrupt() {
    for (std::unique_ptr<DatagramSocket>& socket : sockets_) {
        if (socket) {
            socket->Interrupt();
        }
    }
}

void MasterGathering::Join() {
    for (std::thread& thread : threads_) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

bool MasterGathering::Take(std::vector<MasterArrival>& arrivals, std::vector<MasterEnd>& ends) {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.store(false, std::memory_order_relaxed);
    for (MasterArrival& arrival : arrivals_) {
        arrivals.push_back(std::move(arrival));
    }
    arrivals_.clear();
    for (MasterEnd& end : ends_) {
        ends.push_back(std::move(end));
    }
    ends_.clear();
    return ended_ == snapshot_.masters.size();
}

void MasterGathering::Ask(int master) {
    if (snapshot_.masters[static_cast<size_t>(master)].kind == MasterKind::Web) {
        AskWeb(master);
    } else {
        AskUdp(master);
    }
}

void MasterGathering::AskWeb(int master) {
    const MasterEntry& entry = snapshot_.masters[static_cast<size_t>(master)];
    std::vector<unsigned char> body;
    if (!fetch_ || !fetch_(snapshot_, entry, body)) {
        End(master, false, DownloadFailedText(MasterStatusName(entry)));
        return;
    }
    Deliver(master, body.data(), body.size());
    End(master, true, std::u16string());
}

void MasterGathering::AskUdp(int master) {
    const MasterEntry& entry = snapshot_.masters[static_cast<size_t>(master)];
    DatagramSocket* socket = sockets_[static_cast<size_t>(master)].get();
    UdpMasterResult result{UdpMasterEnd::SendFailed, socketErrors_[static_cast<size_t>(master)]};
    if (socket) {
        result = AskUdpMaster(entry, *socket, [this, master](const unsigned char* entries, size_t length) {
            Deliver(master, entries, length);
        });
    }
    End(master, result.end == UdpMasterEnd::Answered, UdpMasterFailedText(MasterStatusName(entry), result));
}

void MasterGathering::Deliver(int master, const unsigned char* entries, size_t length) {
    length -= length % LIST_ENTRY_SIZE;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        arrivals_.push_back(MasterArrival{master, std::vector<unsigned char>(entries, entries + length)});
        pending_.store(true, std::memory_order_release);
    }
    wake_.Set();
}

void MasterGathering::End(int master, bool answered, std::u16string failure) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ends_.push_back(MasterEnd{master, answered, std::move(failure)});
        ++ended_;
        pending_.store(true, std::memory_order_release);
    }
    wake_.Set();
}
