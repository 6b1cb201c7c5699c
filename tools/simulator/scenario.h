// A scenario: how the master web service answers and which game servers there are, read from the text format
// described in README.md.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "endpoint.h"

// How one HTTP resource answers.
struct HttpAnswer {
    int status = 200;
    std::optional<std::string> body;         // replaces the generated body
    std::optional<size_t> body_size;         // a body of made-up entries cut to this many bytes
    int delay_ms = 0;                        // before the headers
    std::vector<size_t> chunks;              // the body in pieces of these sizes (the rest in one last piece)
    int chunk_delay_ms = 0;                  // between pieces
    std::optional<size_t> close_after;       // drop the connection after this many body bytes
    bool refuse = false;                     // no listener at all (master only)
    std::optional<std::string> content_type; // in place of the resource's own
};

// A request target the web service answers with a redirect.
struct RedirectConfig {
    std::string from; // the target exactly, path and query
    std::string to;   // the Location
    int status = 302;

    int line = 0; // of its [redirect] header
};

struct Player {
    int score = 0;
    int ping = 0;
    std::string name;
};

struct ServerConfig {
    Endpoint address;
    std::string mod; // game directory the master lists it under; empty for plain deathmatch
    bool listed = true;
    std::map<std::string, std::string> info; // the status reply's info keys
    std::vector<Player> players;

    int delay_ms = 0;
    int answer_from = 0; // queries before the K-th one go unanswered
    bool silent = false;
    bool down = false;  // listed, but nothing is bound: queries draw ICMP port-unreachable
    int reply_port = 0; // nonzero: replies leave from this port of the same address
    bool oversize = false;
    int duplicates = 0; // extra copies of every reply
    std::optional<std::string> raw;
    bool rate_limit = false; // one reply a second at most
    bool heartbeat = true;   // announces itself to the [heartbeat] masters, if any

    int line = 0; // of its [server] header; 0 when generated
};

// The master servers that the game servers announce themselves to, as a real dedicated server does with
// `+set public 1 +setmaster HOST`: a ping and a heartbeat when it starts, a heartbeat every interval, a shutdown
// when it stops.
struct HeartbeatConfig {
    std::vector<Endpoint> masters;
    int interval_s = 300;
};

// A classic master on UDP: answers `query` with `\xff\xff\xff\xffservers ` and 6-byte entries, as the Quake II
// master protocol does.
// (65,507 - 12) / 6: the most entries one UDP datagram carries after the header.
constexpr size_t MAX_ENTRIES_PER_DATAGRAM = 10915;

struct UdpMasterConfig {
    Endpoint address;
    bool all = true;             // lists every server the web master lists, in scenario order
    std::vector<Endpoint> extra; // further entries, after those, whether or not a server is there
    size_t per_datagram = MAX_ENTRIES_PER_DATAGRAM;
    int reply_from = 0;  // nonzero: answers leave from this port of the same address
    int delay_ms = 0;    // answers this much later
    bool silent = false; // never answers

    int line = 0; // of its [udp_master] header
};

struct Scenario {
    HttpAnswer master;
    HttpAnswer filters; // body holds the filters text
    HeartbeatConfig heartbeat;
    std::vector<ServerConfig> servers;
    std::vector<UdpMasterConfig> udp_masters;
    std::vector<RedirectConfig> redirects;
    bool has_master = false;
    bool has_filters = false;
    bool has_heartbeat = false;
};

// Reads a scenario; on failure returns false with "line N: what is wrong" in *error.
bool ParseScenario(std::string_view text, Scenario* out, std::string* error);

// Adds the servers, UDP masters and redirects of another scenario; its [master], [filters] and [heartbeat] sections,
// where given, replace ours.
void MergeScenario(Scenario* into, Scenario from);
