#include "generator.h"

#include <string>

namespace {

constexpr uint16_t FIRST_PORT = 27910;

class SplitMix64 {
public:
    explicit SplitMix64(uint64_t seed) : state_(seed) {}

    uint64_t Next() {
        uint64_t z = state_ += 0x9e3779b97f4a7c15;
        z = (z ^ z >> 30) * 0xbf58476d1ce4e5b9;
        z = (z ^ z >> 27) * 0x94d049bb133111eb;
        return z ^ z >> 31;
    }
    // Uniform enough in [0, n) for the small n used here.
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
    int Between(int low, int high) { return low + Below(high - low + 1); }
    bool Chance(int percent) { return Below(100) < percent; }

    template <typename T, size_t N> const T& Pick(const T (&items)[N]) { return items[Below(static_cast<int>(N))]; }

private:
    uint64_t state_;
};

struct Mod {
    const char* dir;
    const char* gamename;
    const char* label;
    int weight;
    std::vector<const char*> maps;
};

const Mod MODS[] = {
    {"",
     "baseq2",
     "Deathmatch",
     30,
     {"q2dm1", "q2dm2", "q2dm3", "q2dm4", "q2dm5", "q2dm6", "q2dm7", "q2dm8", "base1", "base2", "base3", "city1",
      "city2", "city3", "fact3", "ztn2dm1", "ztn2dm2", "tltf"}},
    {"baseq2", "baseq2", "DM", 5, {"q2dm1", "q2dm3", "q2dm8", "base1", "city3"}},
    {"ctf", "ctf", "CTF", 16, {"q2ctf1", "q2ctf2", "q2ctf3", "q2ctf4", "q2ctf5"}},
    {"action",
     "action",
     "Action",
     16,
     {"urban", "urban2", "urban3", "cliff", "cliff2", "teamjungle", "actcity2", "tokyo", "riot", "kumanru"}},
    {"arena",
     "arena",
     "Rocket Arena",
     10,
     {"ra2map1", "ra2map2", "ra2map3", "ra2map4", "ra2map5", "ra2map6", "ra2map7", "ra2map8"}},
    {"lithium", "lithium", "Lithium", 15, {"q2dm1", "q2dm2", "q2dm6", "q2dm8", "ztn2dm1", "ztn2dm3", "match1"}},
    {"q2dm", "q2dm", "Duel", 8, {"q2dm1", "q2dm2", "q2dm8", "ztn2dm1", "aerowalk", "match1"}},
};

const char* const REGIONS[] = {"[EU]", "[US]", "[DE]", "[UK]", "[PL]", "[BR]", "[RU]", "[AU]", "[FI]", "[CZ]", ""};
const char* const NAMES[] = {"Frag Factory", "Rail Yard",    "Old School",       "Q2 Legends",    "Pub Server",
                             "Midnight",     "Low Ping",     "Stroggos Outpost", "Public Frenzy", "Quad Damage",
                             "Hyperblaster", "The Pit",      "Lazy Sunday",      "Retro Night",   "Gibfest",
                             "North Star",   "Warehouse 23", "Blue Armor",       "Clan Wars",     "Newbie Friendly"};
// Build dates put two spaces before a one-digit day, as the compiler's __DATE__ does.
const char* const VERSIONS[] = {
    "3.20 x86 Dec 21 1998 Win32 RELEASE",       "8.70 x86_64 Mar  1 2025 Linux",
    "8.70 x86_64 Mar  1 2025 Windows",          "q2proded r3000~abc1234 Jul 21 2025 Linux x86_64",
    "q2proded r2914~5f0c9e2 Feb  9 2025 Win64", "R1Q2 b8012 i386 Sep 14 2014 Linux"};
const char* const GAMEDATES[] = {"Nov 30 1997", "Dec 21 1998", "Mar  1 2025", "Jul 21 2025"};
// A prime count, so stepping through it from any start by a step below it visits every name once.
const char* const PLAYERS[] = {"Slayer", "Grunt",  "Phantom", "Vex",     "Nova",   "Razor", "Quadman", "Strogg",
                               "Makron", "Tank",   "Berserk", "Gladius", "Icarus", "Medic", "Railgod", "BFG_Bob",
                               "Camper", "Lagger", "Fragger", "Zaero",   "Xatrix", "Kaz",   "Mira",    "Jinx",
                               "Pyro",   "Echo",   "Ghost",   "Ripper",  "Wraith", "Hex",   "Blitz",   "Volt",
                               "Rook",   "Ember",  "Sable",   "Dusk",    "Nomad"};
const char* const TAGS[] = {"[AoA]", "=CF=", "{LoD}", "|BW|", "-=Q=-", "<x>"};
// Names are not cleaned by servers: some carry Quake II's highlighted characters (bytes with the top bit set).
const char* const HIGHLIGHTED[] = {"\xc4\xe5\xe1\xf4\xe8", "\xd2\xe1\xe9\xec", "Mr\xae\xc2\xec\xef\xe2"};
const int MAXCLIENTS[] = {8, 10, 12, 16, 16, 20, 24, 32};
const int TIMELIMITS[] = {10, 15, 20, 20, 30};
const char* const DMFLAGS[] = {"16", "532", "1044", "16400", "17428", "1556"};

static_assert(sizeof PLAYERS / sizeof *PLAYERS == 37, "the player stride needs a prime count of names");

const Mod& PickMod(SplitMix64& random) {
    int total = 0;
    for (const Mod& mod : MODS) {
        total += mod.weight;
    }
    int roll = random.Below(total);
    for (const Mod& mod : MODS) {
        if (roll < mod.weight) {
            return mod;
        }
        roll -= mod.weight;
    }
    return MODS[0];
}

std::string Hostname(SplitMix64& random, const Mod& mod) {
    std::string region = random.Pick(REGIONS);
    std::string name = (region.empty() ? "" : region + " ") + random.Pick(NAMES) + " " + mod.label;
    if (random.Chance(40)) {
        name += " #" + std::to_string(random.Between(1, 9));
    }
    return name;
}

int PlayerCount(SplitMix64& random, int maxclients) {
    int roll = random.Below(100);
    if (roll < 25) {
        return 0;
    }
    if (roll < 35) {
        return maxclients;
    }
    return random.Between(1, maxclients - 1);
}

void AddPlayers(SplitMix64& random, ServerConfig* server, int count) {
    constexpr int names = static_cast<int>(sizeof PLAYERS / sizeof *PLAYERS);
    int start = random.Below(names);
    int step = random.Between(1, names - 1);
    int base_ping = random.Between(15, 140);
    for (int i = 0; i < count; ++i) {
        Player player;
        player.name = PLAYERS[(start + i * step) % names];
        if (random.Chance(15)) {
            player.name = random.Pick(TAGS) + player.name;
        } else if (random.Chance(3)) {
            player.name = random.Pick(HIGHLIGHTED);
        }
        bool bot = random.Chance(5);
        player.ping = bot ? 0 : base_ping + random.Below(90);
        player.score = random.Chance(10) ? -random.Between(1, 5) : random.Between(0, 60);
        server->players.push_back(std::move(player));
    }
}

int ReplyDelay(SplitMix64& random) {
    int roll = random.Below(100);
    if (roll < 70) {
        return random.Between(0, 10);
    }
    return roll < 95 ? random.Between(10, 60) : random.Between(60, 150);
}

} // namespace

std::vector<ServerConfig> GenerateServers(size_t count, uint64_t seed, bool distinct_addresses) {
    SplitMix64 random(seed);
    std::vector<ServerConfig> servers(count < MAX_GENERATED_SERVERS ? count : MAX_GENERATED_SERVERS);
    for (size_t i = 0; i < servers.size(); ++i) {
        ServerConfig& server = servers[i];
        if (distinct_addresses) {
            uint32_t third = static_cast<uint32_t>(1 + i / 254);
            uint32_t fourth = static_cast<uint32_t>(1 + i % 254);
            server.address = Endpoint{127u << 24 | third << 8 | fourth, FIRST_PORT};
        } else {
            server.address = Endpoint{0x7f000001, static_cast<uint16_t>(FIRST_PORT + i)};
        }
        const Mod& mod = PickMod(random);
        server.mod = mod.dir;
        int maxclients = random.Pick(MAXCLIENTS);
        server.info = {
            {"hostname", Hostname(random, mod)},
            {"mapname", mod.maps[random.Below(static_cast<int>(mod.maps.size()))]},
            {"gamename", mod.gamename},
            {"version", random.Pick(VERSIONS)},
            {"maxclients", std::to_string(maxclients)},
            {"timelimit", std::to_string(random.Pick(TIMELIMITS))},
            {"fraglimit", std::to_string(random.Chance(30) ? 0 : random.Between(2, 10) * 5)},
            {"dmflags", random.Pick(DMFLAGS)},
            {"deathmatch", "1"},
            {"cheats", "0"},
            {"needpass", random.Chance(5) ? "1" : "0"},
            {"protocol", "34"},
        };
        if (random.Chance(40)) {
            server.info["gamedate"] = random.Pick(GAMEDATES);
        }
        if (random.Chance(20)) {
            server.info["anticheat"] = "1";
        }
        AddPlayers(random, &server, PlayerCount(random, maxclients));
        server.delay_ms = ReplyDelay(random);
    }
    return servers;
}
