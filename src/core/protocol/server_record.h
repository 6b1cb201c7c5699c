// One game server and its players as the current update run knows them. Portable (no Win32): the records hold
// UTF-16 text in fixed arrays, so filling a record from a reply never allocates.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "core/protocol/source_set.h"

constexpr int MAX_PLAYERS = 64;
constexpr int PLAYER_NAME_SIZE = 32; // 31 characters and the terminator
constexpr int LONG_INFO_SIZE = 256;  // hostname, mapname, version
constexpr int SHORT_INFO_SIZE = 64;  // gamedate, gamename
// The reply's info line as it came (8-bit, undecoded): at most 511 bytes and the terminator, as much as a server's
// info string holds. Decoded only when the server info shows it.
constexpr size_t INFO_TEXT_SIZE = 512;

struct PlayerRecord {
    char16_t name[PLAYER_NAME_SIZE]; // empty when the player line gave none
    int32_t ping;                    // as the server reports it (second number of the player line)
    int32_t score;                   // first number of the player line
};

// Writers: the run's table makes the record at the server's first query (addr, port and sources) and writes queryTime,
// attempts and answered under its lock; the reply parser, on the receiver thread, writes the reply's fields; the
// user interface thread writes delivered. A record moves forward only: queried -> answered -> delivered, and once
// answered no worker writes it again in that run but for its sources.
struct ServerRecord {
    uint32_t addr; // IPv4 address in network byte order, as the master list entry gave it
    uint16_t port; // host byte order
    char16_t hostname[LONG_INFO_SIZE];
    char16_t mapname[LONG_INFO_SIZE];
    char16_t version[LONG_INFO_SIZE];
    char16_t gamedate[SHORT_INFO_SIZE];
    char16_t gamename[SHORT_INFO_SIZE];
    int32_t playerCount; // valid entries in players, 0 to MAX_PLAYERS
    int32_t maxClients;
    uint32_t queryTime; // millisecond clock at the latest query; 0 = not queried in this run
    uint32_t ping;      // milliseconds from the latest query to its reply's arrival
    PlayerRecord players[MAX_PLAYERS];
    int32_t answered; // 1 once a reply was accepted; never back to 0 within a run
    // 1 once the user interface thread has taken the answered record over; only that thread reads or writes it,
    // and it reads no other field of a record before this is set.
    int32_t delivered;
    int32_t attempts; // queries sent in this run
    int32_t anticheat;
    int32_t timelimit;
    // Who named the server to the run: the run's controller adds a source when another names it, which the user
    // interface thread may be reading meanwhile.
    std::atomic<SourceSet> sources;
    char infoText[INFO_TEXT_SIZE]; // the info line of the accepted reply, cut to fit; empty before one
};
