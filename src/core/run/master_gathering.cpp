#include "core/run/master_gathering.h"

#include "core/protocol/list_entry.h"
#include "core/run/lan_search.h"
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
            SourceResult failed;
            failed.source = master;
            failed.udp = {UdpMasterEnd::SendFailed, error};
            failed.download = ListDownload::Failed;
            End(failed);
        }
    }
    if (!lanNetworks_) {
        return;
    }
    int error = 0;
    lanSocket_ = OpenDatagramSocket(LAN_RECEIVE_BUFFER_BYTES, error);
    std::shared_ptr<MasterGathering> self = shared_from_this();
    if (!StartWorker([self] { self->SearchLocalNetworks(); }, &error)) {
        SourceResult lan;
        lan.source = SOURCE_INDEX_LAN;
        lan.listed = true;
        End(lan);
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
    SourceResult result;
    result.source = master;
    result.download = fetch_ ? fetch_(modDir_, entry, body, cancel) : ListDownload::Failed;
    result.listed = result.download == ListDownload::Listed;
    // An aborted run names no master's failure: the closing line says it was aborted.
    result.interrupted = !result.listed && cancel.Cancelled();
    if (result.listed) {
        Deliver(MasterSource(master), body.data(), body.size());
    }
    End(result);
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
    SourceResult ended;
    ended.source = master;
    ended.udp = result;
    ended.listed = result.end == UdpMasterEnd::Answered;
    ended.interrupted = result.end == UdpMasterEnd::Interrupted;
    End(ended);
}

// The LAN is searched quietly: no network that can broadcast, or no socket for it, and the run goes on as if there
// were no LAN search at all.
void MasterGathering::SearchLocalNetworks() {
    if (lanSocket_ && lanSocket_->AllowBroadcast() == 0) {
        SearchLan(lanNetworks_(), *lanSocket_,
                  [this](const unsigned char* entry, size_t length) { Deliver(SOURCE_LAN, entry, length); });
    }
    SourceResult lan;
    lan.source = SOURCE_INDEX_LAN;
    lan.listed = true;
    End(lan);
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

void MasterGathering::End(SourceResult result) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ends_.push_back(MasterEnd{std::move(result)});
        ++ended_;
        pending_.store(true, std::memory_order_release);
    }
    wake_->Set();
}
