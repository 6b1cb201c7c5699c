// The masters of one update run, asked all at once: one thread per master (a web download, or a classic master
// over UDP on a socket of its own), each handing what it gets to the run's controller as it comes, so that one slow
// master never holds back the servers of the others. Portable (no Win32).
//
// The master threads touch only this object's inbox (under its lock) and the controller's wake-up; the controller
// takes the inbox. The threads end by themselves, a classic master's at once when interrupted; a web download ends
// when its transfer does.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/run/datagram_socket.h"
#include "core/run/run_snapshot.h"

// Entries from one master: a web master's whole list, or one datagram of a classic master's.
struct MasterArrival {
    int master;
    std::vector<unsigned char> entries;
};

// A master that is done: it answered, or `failure` says why not (empty when the run was aborted).
struct MasterEnd {
    int master;
    bool answered;
    std::u16string failure;
};

class MasterGathering {
public:
    // `wake` is set after every change of the inbox; it outlives this object.
    MasterGathering(const RunSnapshot& snapshot, const ListFetcher& fetch, WakeSignal& wake);
    // Interrupts and joins every master's thread.
    ~MasterGathering();
    MasterGathering(const MasterGathering&) = delete;
    MasterGathering& operator=(const MasterGathering&) = delete;

    // Starts a thread per master; one that cannot be had fails its master at once.
    void Start();
    // Classic masters stop waiting (the run was aborted).
    void Interrupt();
    // Waits for every master's thread.
    void Join();

    // Whether the inbox changed since the last take. Any thread; cheap.
    bool Pending() const { return pending_.load(std::memory_order_acquire); }
    // Moves what came since the last take into the two lists (appending). Returns whether every master is done.
    bool Take(std::vector<MasterArrival>& arrivals, std::vector<MasterEnd>& ends);

private:
    void Ask(int master);
    void AskWeb(int master);
    void AskUdp(int master);
    void Deliver(int master, const unsigned char* entries, size_t length);
    void End(int master, bool answered, std::u16string failure);

    const RunSnapshot& snapshot_;
    const ListFetcher& fetch_;
    WakeSignal& wake_;
    // One per classic master (null for a web master, or when none could be had), made before the threads start.
    std::vector<std::unique_ptr<DatagramSocket>> sockets_;
    std::vector<int> socketErrors_;
    std::vector<std::thread> threads_;

    std::mutex mutex_;
    std::vector<MasterArrival> arrivals_; // under mutex_
    std::vector<MasterEnd> ends_;         // under mutex_
    size_t ended_ = 0;                    // under mutex_
    std::atomic<bool> pending_{false};
};
