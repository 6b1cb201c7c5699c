#include "core/run/master_gathering.h"

#include "core/protocol/list_entry.h"
#include "core/run/lan_search.h"
#include "core/run/run_texts.h"
#include "core/run/udp_master.h"
#include "core/worker/worker.h"

namespace {

// A classic master's answers are small; the system's default buffer would do, this leaves room for a split list
// that comes in a burst.
constexpr int MASTER_RECEIVE_BUFFER_BYTES = 1024 * 1024;
// Room for the answers of every server of a busy LAN party at once.
constexpr int LAN_RECEIVE_BUFFER_BYTES = 256 * 1024;

} // namespace

MasterGathering::MasterGathering(const RunSnapshot& snapshot, ListFetcher fetch, std::shared_ptr<WakeSignal> wake)
    : masters_(snapshot.masters), modDir_(snapshot.modDir), fetch_(std::move(fetch)), wake_(std::move(wake)),
      lanNetworks_(snapshot.lanNetworks), resolve_(snapshot.resolveHost),
      sources_(masters_.size() + (lanNetworks_ ? 1 : 0)), sockets_(masters_.size()), socketErrors_(masters_.size(), 0),
      cancels_(masters_.size()) {}

void MasterGathering::Start() {
    for (size_t i = 0; i < masters_.size(); ++i) {
        if (masters_[i].kind == MasterKind::Udp) {
            sockets_[i] = OpenDatagramSocket(MASTER_RECEIVE_BUFFER_BYTES, socketErrors_[i]);
        }
    }
    for (size_t i = 0; i < masters_.size(); ++i) {
        int master = static_cast<int>(i);
        std::shared_ptr<MasterGathering> self = shared_from_this();
        int error = 0;
        if (!StartWorker([self, master] { self->Ask(master); }, &error)) {
            End(master, false, UdpMasterFailedText(MasterStatusName(masters_[i]), {UdpMasterEnd::SendFailed, error}));
        }
    }
    if (!lanNetworks_) {
        return;
    }
    int error = 0;
    lanSocket_ = OpenDatagramSocket(LAN_RECEIVE_BUFFER_BYTES, error);
    std::shared_ptr<MasterGathering> self = shared_from_this();
    if (!StartWorker([self] { self->SearchLocalNetworks(); }, &error)) {
        End(LAN_SEARCH, false, std::u16string());
    }
}

void MasterGathering::Interrupt() {
    for (size_t i = 0; i < masters_.size(); ++i) {
        if (sockets_[i]) {
            sockets_[i]->Interrupt();
        }
        cancels_[i].Cancel();
    }
    if (lanSocket_) {
        lanSocket_->Interrupt();
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
    return ended_ == sources_;
}

void MasterGathering::Ask(int master) {
    if (masters_[static_cast<size_t>(master)].kind == MasterKind::Udp) {
        AskUdp(master);
    } else {
        AskWeb(master);
    }
}

void MasterGathering::AskWeb(int master) {
    const MasterEntry& entry = masters_[static_cast<size_t>(master)];
    DownloadCancel& cancel = cancels_[static_cast<size_t>(master)];
    std::vector<unsigned char> body;
    ListDownload download = fetch_ ? fetch_(modDir_, entry, body, cancel) : ListDownload::Failed;
    if (download != ListDownload::Listed) {
        // An aborted run names no master's failure: the closing line says it was aborted.
        End(master, false, cancel.Cancelled() ? std::u16string() : DownloadFailedText(entry, download));
        return;
    }
    Deliver(MasterSource(master), body.data(), body.size());
    End(master, true, std::u16string());
}

void MasterGathering::AskUdp(int master) {
    const MasterEntry& entry = masters_[static_cast<size_t>(master)];
    DatagramSocket* socket = sockets_[static_cast<size_t>(master)].get();
    UdpMasterResult result{UdpMasterEnd::SendFailed, socketErrors_[static_cast<size_t>(master)]};
    if (socket) {
        result = AskUdpMaster(entry, *socket, resolve_, [this, master](const unsigned char* entries, size_t length) {
            Deliver(MasterSource(master), entries, length);
        });
    }
    End(master, result.end == UdpMasterEnd::Answered, UdpMasterFailedText(MasterStatusName(entry), result));
}

// The LAN is searched quietly: no network that can broadcast, or no socket for it, and the run goes on as if there
// were no LAN search at all.
void MasterGathering::SearchLocalNetworks() {
    if (lanSocket_ && lanSocket_->AllowBroadcast() == 0) {
        SearchLan(lanNetworks_(), *lanSocket_,
                  [this](const unsigned char* entry, size_t length) { Deliver(SOURCE_LAN, entry, length); });
    }
    End(LAN_SEARCH, false, std::u16string());
}

void MasterGathering::Deliver(SourceSet source, const unsigned char* entries, size_t length) {
    length -= length % LIST_ENTRY_SIZE;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        arrivals_.push_back(MasterArrival{source, std::vector<unsigned char>(entries, entries + length)});
        pending_.store(true, std::memory_order_release);
    }
    wake_->Set();
}

void MasterGathering::End(int master, bool answered, std::u16string failure) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ends_.push_back(MasterEnd{master, answered, std::move(failure)});
        ++ended_;
        pending_.store(true, std::memory_order_release);
    }
    wake_->Set();
}
