// Which servers a mod filter shows. Portable (no Win32).
//
// A web master lists servers per mod filter, so what it names is shown as it is. The other sources (classic UDP
// masters, the favourites, the remembered list) name servers of every mod, so a server that came only from them is
// shown under a filter only when its reply's gamename is the filter's game directory, ignoring ASCII case, as the
// master service matches them. A reply that names no game (GAMENAME_ABSENT in the record) runs the base game,
// BASE_GAME_DIR. The "(No Filter)" entry, an empty directory, shows every server.
#pragma once

#include "core/protocol/source_set.h"

extern const char16_t BASE_GAME_DIR[]; // "baseq2"

// `perModSources`: the bits of the run's web masters. `gamename`: the record's, once the server has answered.
bool ShowsUnderModFilter(const char16_t* filterDir, SourceSet sources, SourceSet perModSources,
                         const char16_t* gamename);
