#include "core/history/history_file.h"

#include <gtest/gtest.h>

#include "core/history/history_keeper.h"
#include "core/settings/remembered_list.h"

namespace {

constexpr int64_t SAVED_AT = 1796688000; // 2026-12-08 00:00 UTC

void AddDay(ServerHistories& histories, uint32_t addr, int64_t lastHeard, int stretches) {
    for (int i = stretches - 1; i >= 0; --i) {
        int64_t time = lastHeard - i * HISTORY_BUCKET_SECONDS;
        histories.Add(addr, static_cast<uint16_t>(27910 + addr % 3),
                      HistorySample{time, static_cast<uint32_t>(40 + i % 90), i % 17, 16});
        histories.Add(addr, static_cast<uint16_t>(27910 + addr % 3),
                      HistorySample{time + 1, static_cast<uint32_t>(45 + i % 7), i % 5, 16});
    }
}

// Everything of a bucket but its sum, which a file keeps as the mean.
void ExpectSameServers(const std::vector<ServerHistory>& read, const std::vector<ServerHistory>& kept) {
    ASSERT_EQ(read.size(), kept.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(read[i].addr, kept[i].addr);
        EXPECT_EQ(read[i].port, kept[i].port);
        EXPECT_EQ(read[i].lastHeard, kept[i].lastHeard);
        ASSERT_EQ(read[i].buckets.size(), kept[i].buckets.size());
        for (size_t b = 0; b < kept[i].buckets.size(); ++b) {
            const HistoryBucket& a = read[i].buckets[b];
            const HistoryBucket& e = kept[i].buckets[b];
            EXPECT_EQ(a.slot, e.slot);
            EXPECT_EQ(a.MeanPing(), e.MeanPing());
            EXPECT_EQ(a.lowestPing, e.lowestPing);
            EXPECT_EQ(a.highestPing, e.highestPing);
            EXPECT_EQ(a.samples, e.samples);
            EXPECT_EQ(a.mostPlayers, e.mostPlayers);
            EXPECT_EQ(a.maxClients, e.maxClients);
        }
    }
}

HistoryFileKind KindOf(const std::vector<unsigned char>& bytes) {
    DecodedHistory decoded = DecodeHistory(bytes.data(), bytes.size());
    if (decoded.kind != HistoryFileKind::Read) {
        EXPECT_TRUE(decoded.servers.empty());
    }
    return decoded.kind;
}

// Rewrites the checksum after a deliberate change, so the reader has to find the change itself.
std::vector<unsigned char> Resealed(std::vector<unsigned char> bytes) {
    bytes.resize(bytes.size() - 4);
    uint32_t crc = RememberedListChecksum(bytes.data(), bytes.size());
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<unsigned char>(crc >> (8 * i)));
    }
    return bytes;
}

TEST(HistoryFile, WhatIsWrittenReadsBackTheSameAndCompactly) {
    ServerHistories histories;
    AddDay(histories, 0x0100007F, SAVED_AT - 30, 288);
    AddDay(histories, 0x0200007F, SAVED_AT - 7200, 3);
    AddDay(histories, 0x0300007F, SAVED_AT + 50, 1); // a clock ahead of the save's
    histories.Add(0x0400007F, 65535, HistorySample{SAVED_AT - 600, 65535, 65535, 65535});
    std::vector<ServerHistory> kept = histories.Copy();
    std::vector<unsigned char> bytes = EncodeHistory(kept, SAVED_AT);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 5), "SKHI\x01");
    EXPECT_LT(bytes.size(), 293u * 8u) << "under eight bytes a bucket";

    DecodedHistory decoded = DecodeHistory(bytes.data(), bytes.size());
    ASSERT_EQ(decoded.kind, HistoryFileKind::Read);
    ExpectSameServers(decoded.servers, kept);
    EXPECT_EQ(EncodeHistory(decoded.servers, SAVED_AT), bytes) << "read and written again, the same bytes";

    std::vector<unsigned char> none = EncodeHistory({}, SAVED_AT);
    decoded = DecodeHistory(none.data(), none.size());
    EXPECT_EQ(decoded.kind, HistoryFileKind::Read);
    EXPECT_TRUE(decoded.servers.empty());
}

TEST(HistoryFile, AFileOverItsCapLeavesOutTheLeastRecentlyHeard) {
    ServerHistories histories;
    for (uint32_t addr = 1; addr <= 40; ++addr) {
        AddDay(histories, addr, SAVED_AT - 1000 + addr, 20);
    }
    std::vector<ServerHistory> kept = histories.Copy();
    ASSERT_EQ(kept.front().addr, 40u);
    size_t whole = EncodeHistory(kept, SAVED_AT).size();
    for (size_t cap : {whole, whole - 1, whole / 2, size_t{40}}) {
        std::vector<unsigned char> bytes = EncodeHistory(kept, SAVED_AT, cap);
        EXPECT_LE(bytes.size(), cap);
        DecodedHistory decoded = DecodeHistory(bytes.data(), bytes.size());
        ASSERT_EQ(decoded.kind, HistoryFileKind::Read);
        size_t count = decoded.servers.size();
        EXPECT_EQ(count == kept.size(), cap == whole) << cap;
        ExpectSameServers(decoded.servers, std::vector<ServerHistory>(kept.begin(), kept.begin() + count));
        if (cap == whole / 2) {
            EXPECT_GT(count, 10u);
            EXPECT_LT(count, 30u);
        }
    }
}

TEST(HistoryFile, ADamagedOrForeignFileIsToldAndNothingOfItTaken) {
    ServerHistories histories;
    AddDay(histories, 0x0100007F, SAVED_AT - 30, 4);
    AddDay(histories, 0x0200007F, SAVED_AT - 60, 2);
    std::vector<unsigned char> bytes = EncodeHistory(histories.Copy(), SAVED_AT);

    EXPECT_EQ(KindOf({}), HistoryFileKind::Foreign);
    EXPECT_EQ(KindOf({'S', 'K', 'H'}), HistoryFileKind::Foreign);
    std::vector<unsigned char> other = bytes;
    other[0] = 'X';
    EXPECT_EQ(KindOf(Resealed(other)), HistoryFileKind::Foreign);
    other = bytes;
    other[4] = 2;
    EXPECT_EQ(KindOf(Resealed(other)), HistoryFileKind::Foreign) << "a later version";

    for (size_t size = 5; size < bytes.size(); ++size) {
        EXPECT_EQ(KindOf(std::vector<unsigned char>(bytes.begin(), bytes.begin() + size)), HistoryFileKind::Damaged)
            << size;
    }
    for (size_t at = 5; at < bytes.size(); ++at) {
        std::vector<unsigned char> changed = bytes;
        changed[at] ^= 0x10;
        EXPECT_EQ(KindOf(changed), HistoryFileKind::Damaged) << at;
    }
    std::vector<unsigned char> longer = bytes;
    longer.insert(longer.end() - 4, 0);
    EXPECT_EQ(KindOf(Resealed(longer)), HistoryFileKind::Damaged) << "bytes after the last server";

    // Sealed, but out of bounds: the second server as the first again, a bucket of no samples, a stretch twice.
    std::vector<ServerHistory> kept = histories.Copy();
    size_t first = EncodeHistory({}, SAVED_AT).size() - 4;
    size_t second = EncodeHistory({kept[0]}, SAVED_AT).size() - 4;
    ASSERT_EQ(bytes[second + 7], 4) << "the second server's buckets";
    ASSERT_EQ(bytes[second + 9], 2) << "its first bucket's samples";
    ASSERT_EQ(bytes[second + 15], 1) << "the step to its second bucket";
    std::vector<unsigned char> twice = bytes;
    std::copy(bytes.begin() + first, bytes.begin() + first + 6, twice.begin() + second);
    EXPECT_EQ(KindOf(Resealed(twice)), HistoryFileKind::Damaged) << "one server twice";
    std::vector<unsigned char> empty = bytes;
    empty[second + 9] = 0;
    EXPECT_EQ(KindOf(Resealed(empty)), HistoryFileKind::Damaged);
    std::vector<unsigned char> same = bytes;
    same[second + 15] = 0;
    EXPECT_EQ(KindOf(Resealed(same)), HistoryFileKind::Damaged);
    std::vector<unsigned char> many = bytes;
    many[second + 7] = 0;
    EXPECT_EQ(KindOf(Resealed(many)), HistoryFileKind::Damaged) << "a server of no buckets";
    EXPECT_EQ(KindOf(Resealed(bytes)), HistoryFileKind::Read) << "the offsets above are the fields named";
}

// A folder of one file in memory, and work that runs when the test says.
struct FakeFolder {
    std::vector<unsigned char> file;
    bool exists = false;
    bool writable = true;
    bool renamable = true;
    int writes = 0;
    std::vector<int64_t> setAside;
    std::vector<std::function<void()>> work;

    HistoryFiles Files() {
        return HistoryFiles{[this](std::vector<unsigned char>& bytes) {
                                bytes = file;
                                return exists;
                            },
                            [this](const std::vector<unsigned char>& bytes) {
                                ++writes;
                                if (writable) {
                                    file = bytes;
                                    exists = true;
                                }
                                return writable;
                            },
                            [this](int64_t now) {
                                setAside.push_back(now);
                                if (!renamable) {
                                    return std::u16string();
                                }
                                exists = false;
                                return std::u16string(u"Server History.damaged");
                            }};
    }
    WorkStarter Starter() {
        return [this](std::function<void()> job) {
            work.push_back(std::move(job));
            return true;
        };
    }
    void RunWork() {
        for (auto& job : work) {
            job();
        }
        work.clear();
    }
};

TEST(HistoryKeeper, SavesOnAWorkerAtMostOnceAMinuteAndLastAtTheEnd) {
    FakeFolder folder;
    HistoryKeeper keeper(folder.Files(), folder.Starter());
    EXPECT_FALSE(keeper.SaveWhenDue(0, SAVED_AT)) << "nothing is saved before the file was read";
    HistoryLoad load = keeper.Load(SAVED_AT);
    EXPECT_FALSE(load.found);
    EXPECT_FALSE(keeper.SaveWhenDue(0, SAVED_AT)) << "nothing changed";

    keeper.Take(1, 27910, HistorySample{SAVED_AT, 50, 2, 8});
    EXPECT_TRUE(keeper.SaveWhenDue(1000, SAVED_AT));
    EXPECT_TRUE(keeper.Saving());
    EXPECT_EQ(folder.writes, 0) << "the worker encodes and writes";
    keeper.Take(2, 27910, HistorySample{SAVED_AT + 1, 60, 3, 8});
    EXPECT_FALSE(keeper.SaveWhenDue(70000, SAVED_AT + 70)) << "one save at a time";
    folder.RunWork();
    EXPECT_FALSE(keeper.Saving());
    ASSERT_EQ(folder.writes, 1);
    EXPECT_EQ(DecodeHistory(folder.file.data(), folder.file.size()).servers.size(), 1u);
    EXPECT_FALSE(keeper.SaveWhenDue(60999, SAVED_AT + 60)) << "less than a minute since the last began";
    EXPECT_TRUE(keeper.SaveWhenDue(61000, SAVED_AT + 61));

    // The end's save is written at once; the slower worker's older copy does not replace it.
    keeper.Take(3, 27910, HistorySample{SAVED_AT + 62, 70, 4, 8});
    EXPECT_TRUE(keeper.SaveNow(SAVED_AT + 62));
    EXPECT_EQ(DecodeHistory(folder.file.data(), folder.file.size()).servers.size(), 3u);
    folder.RunWork();
    EXPECT_EQ(DecodeHistory(folder.file.data(), folder.file.size()).servers.size(), 3u);
    EXPECT_EQ(folder.writes, 2);
    EXPECT_TRUE(keeper.SaveNow(SAVED_AT + 63));
    EXPECT_EQ(folder.writes, 2) << "unchanged: not written again";

    // A failed write is tried again at the next tick that may save, changed or not.
    folder.writable = false;
    keeper.Take(3, 27910, HistorySample{SAVED_AT + 64, 70, 4, 8});
    EXPECT_FALSE(keeper.SaveNow(SAVED_AT + 64));
    folder.writable = true;
    EXPECT_TRUE(keeper.SaveWhenDue(200000, SAVED_AT + 200));
    folder.RunWork();
    EXPECT_EQ(folder.writes, 4);

    // The next start reads it back.
    HistoryKeeper next(folder.Files(), folder.Starter());
    load = next.Load(SAVED_AT + 300);
    EXPECT_TRUE(load.found);
    EXPECT_EQ(load.kind, HistoryFileKind::Read);
    ASSERT_NE(next.Histories().Find(2, 27910), nullptr);
    EXPECT_EQ(next.Histories().Find(2, 27910)->buckets[0].lowestPing, 60);
    EXPECT_FALSE(next.SaveWhenDue(0, SAVED_AT + 300)) << "what was read is saved already";
    // A day later it has all expired: saved as none.
    EXPECT_TRUE(next.SaveWhenDue(0, SAVED_AT + 2 * HISTORY_SPAN_SECONDS));
    folder.RunWork();
    EXPECT_TRUE(DecodeHistory(folder.file.data(), folder.file.size()).servers.empty());
}

TEST(HistoryKeeper, ADamagedFileIsSetAsideAndAFreshHistoryBegun) {
    for (bool foreign : {false, true}) {
        FakeFolder folder;
        ServerHistories histories;
        AddDay(histories, 1, SAVED_AT, 3);
        folder.file = EncodeHistory(histories.Copy(), SAVED_AT);
        folder.file[foreign ? 0 : 9] ^= 1;
        folder.exists = true;
        HistoryKeeper keeper(folder.Files(), folder.Starter());
        HistoryLoad load = keeper.Load(SAVED_AT + 5);
        EXPECT_TRUE(load.found);
        EXPECT_EQ(load.kind, foreign ? HistoryFileKind::Foreign : HistoryFileKind::Damaged);
        EXPECT_EQ(load.setAsideAs, u"Server History.damaged");
        EXPECT_EQ(folder.setAside, std::vector<int64_t>{SAVED_AT + 5});
        EXPECT_EQ(keeper.Histories().ServerCount(), 0u);
        EXPECT_EQ(keeper.Load(SAVED_AT + 6).found, false) << "read once";
        keeper.Take(1, 27910, HistorySample{SAVED_AT + 6, 50, 2, 8});
        EXPECT_TRUE(keeper.SaveNow(SAVED_AT + 7));
        EXPECT_EQ(KindOf(folder.file), HistoryFileKind::Read);
    }

    // One that cannot be renamed stays as it is: this run's history is never written over it.
    FakeFolder folder;
    folder.file = {'n', 'o', 't', ' ', 'o', 'u', 'r', 's'};
    folder.exists = true;
    folder.renamable = false;
    HistoryKeeper keeper(folder.Files(), folder.Starter());
    HistoryLoad load = keeper.Load(SAVED_AT);
    EXPECT_EQ(load.kind, HistoryFileKind::Foreign);
    EXPECT_TRUE(load.setAsideAs.empty());
    keeper.Take(1, 27910, HistorySample{SAVED_AT, 50, 2, 8});
    EXPECT_FALSE(keeper.SaveWhenDue(0, SAVED_AT));
    EXPECT_FALSE(keeper.SaveNow(SAVED_AT));
    EXPECT_EQ(folder.writes, 0);
    EXPECT_EQ(folder.file.size(), 8u);
}

} // namespace
