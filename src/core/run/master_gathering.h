// The masters of one update run, asked all at once: one worker per master (a web download, or a classic master over
// UDP on a socket of its own), each handing what it gets to the run's controller as it comes, so that one slow
// master never holds back the servers of the others. Portable (no Win32).
//
// The master workers touch only this object's inbox (under its lock) and the controller's wake-up, and each holds
// this object (std::shared_ptr), so nobody waits for them: an aborted run cancels their downloads and interrupts
// their sockets and goes on, and a master that still hangs (a host name being looked up) ends on its own later.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/protocol/source_set.h"
#include "core/run/datagram_socket.h"
#include "core/run/local_networks.h"
#include "core/run/run_events.h"
#include "core/run/run_snapshot.h"

// Entries from one master: a web master's whole list, or one datagram of a classic master's; or a server that
// answered on the LAN.
struct MasterArrival {
    SourceSet source;
    std::vector<unsigned char> entries;
};

// A master that is done, or the LAN search (SOURCE_INDEX_LAN, which never counts as a master that answered): how
// it ended, without the servers it named and the time, which the run's controller adds.
struct MasterEnd {
    SourceResult result;
};

class MasterGathering : public std::enable_shared_from_this<MasterGathering> {
public:
    // Asks the snapshot's masters for its mod filter, classic masters' names looked up with its resolver. `wake` is
    // set after every change of the inbox. With the snapshot's `lanNetworks`, the LAN is searched too (SearchLan)
    // on the networks it lists, as one more source.
    MasterGathering(const RunSnapshot& snapshot, ListFetcher fetch, std::shared_ptr<WakeSignal> wake);
    MasterGathering(const MasterGathering&) = delete;
    MasterGathering& operator=(const MasterGathering&) = delete;

    // Starts a worker per master, and one for the LAN; one that cannot be had fails its master at once.
    void Start();
    // The run is aborted: downloads are cancelled, and classic masters and the LAN search stop waiting. Any thread.
    void Interrupt();

    // Whether the inbox changed since the last take. Any thread; cheap.
    bool Pending() const { return pending_.load(std::memory_order_acquire); }
    // Moves what came since the last take into the two lists (appending). Returns whether every master is done.
    bool Take(std::vector<MasterArrival>& arrivals, std::vector<MasterEnd>& ends);

private:
    void Ask(int master);
    void AskWeb(int master);
    void AskUdp(int master);
    void SearchLocalNetworks();
    void Deliver(SourceSet source, const unsigned char* entries, size_t length);
    void End(SourceResult result);

    const std::vector<MasterEntry> masters_;
    const std::u16string modDir_;
    const ListFetcher fetch_;
    const std::shared_ptr<WakeSignal> wake_;
    const LocalNetworkLister lanNetworks_;
    const HostResolver resolve_;
    const size_t sources_; // the masters, and the LAN search when there is one
    // One per master, made before the workers start: a classic master's socket (null for a web master, or when
    // none could be had) and a web master's cancel.
    std::vector<std::unique_ptr<DatagramSocket>> sockets_;
    std::vector<int> socketErrors_;
    std::vector<DownloadCancel> cancels_;
    std::unique_ptr<DatagramSocket> lanSocket_; // made before the LAN worker starts; null when none could be had

    std::mutex mutex_;
    std::vector<MasterArrival> arrivals_; // under mutex_
    std::vector<MasterEnd> ends_;         // under mutex_
    size_t ended_ = 0;                    // under mutex_
    std::atomic<bool> pending_{false};
};
