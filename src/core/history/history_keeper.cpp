#include "core/history/history_keeper.h"

#include <atomic>
#include <mutex>
#include <utility>

#include "core/worker/worker.h"

// Shared by the keeper and its save workers. A snapshot is written only when it is newer than the one written last,
// so a slow save finishing after the program's last one never puts an older history back.
struct HistoryKeeper::Writer {
    explicit Writer(HistoryFiles files) : files(std::move(files)) {}

    bool Write(uint64_t generation, const std::vector<unsigned char>& bytes) {
        std::lock_guard<std::mutex> lock(mutex);
        if (generation <= written) {
            return true;
        }
        bool done = files.write(bytes);
        if (done) {
            written = generation;
        }
        failed = !done;
        return done;
    }

    const HistoryFiles files;
    std::atomic<bool> busy{false};   // a save worker runs
    std::atomic<bool> failed{false}; // the last write failed: the next tick tries again
private:
    std::mutex mutex;     // guards `written` and makes one write at a time
    uint64_t written = 0; // the generation of the snapshot last written
};

HistoryKeeper::HistoryKeeper(HistoryFiles files, WorkStarter start, HistoryLimits limits)
    : writer_(std::make_shared<Writer>(std::move(files))), start_(std::move(start)), histories_(limits) {
    if (!start_) {
        start_ = [](std::function<void()> work) { return StartWorker(std::move(work)); };
    }
}

HistoryLoad HistoryKeeper::Load(int64_t now) {
    HistoryLoad load;
    if (loaded_) {
        return load;
    }
    loaded_ = true;
    std::vector<unsigned char> bytes;
    load.found = writer_->files.read(bytes);
    if (!load.found) {
        return load;
    }
    DecodedHistory decoded = DecodeHistory(bytes.data(), bytes.size());
    load.kind = decoded.kind;
    if (decoded.kind != HistoryFileKind::Read) {
        load.setAsideAs = writer_->files.setAside(now);
        // A file that stays where it was is never written over: it is not ours to delete.
        blocked_ = load.setAsideAs.empty();
        return load;
    }
    for (ServerHistory& server : decoded.servers) {
        histories_.Restore(std::move(server));
    }
    histories_.Expire(now);
    savedChanges_ = histories_.Changes();
    return load;
}

bool HistoryKeeper::SaveWhenDue(uint64_t nowMs, int64_t now) {
    if (!loaded_ || blocked_ || writer_->busy.load() ||
        (savedOnce_ && nowMs - lastSaveMs_ < HISTORY_SAVE_INTERVAL_MS)) {
        return false;
    }
    histories_.Expire(now);
    if (histories_.Changes() == savedChanges_ && !writer_->failed.load()) {
        return false;
    }
    writer_->busy = true;
    uint64_t generation = ++generation_;
    std::shared_ptr<Writer> writer = writer_;
    bool started = start_([writer, generation, now, servers = histories_.Copy()] {
        writer->Write(generation, EncodeHistory(servers, now));
        writer->busy = false;
    });
    if (!started) {
        writer_->busy = false;
        return false;
    }
    savedOnce_ = true;
    lastSaveMs_ = nowMs;
    savedChanges_ = histories_.Changes();
    return true;
}

bool HistoryKeeper::SaveNow(int64_t now) {
    if (!loaded_ || blocked_) {
        return false;
    }
    histories_.Expire(now);
    if (histories_.Changes() == savedChanges_ && !writer_->failed.load()) {
        return true; // the file holds it already
    }
    bool written = writer_->Write(++generation_, EncodeHistory(histories_.Copy(), now));
    if (written) {
        savedChanges_ = histories_.Changes();
    }
    return written;
}

bool HistoryKeeper::Saving() const {
    return writer_->busy.load();
}
