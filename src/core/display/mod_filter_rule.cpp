#include "core/display/mod_filter_rule.h"

#include <string_view>

#include "core/protocol/status_reply.h"
#include "core/text/ascii_case.h"
#include "core/text/text.h"

const char16_t BASE_GAME_DIR[] = u"baseq2";

bool ShowsUnderModFilter(const char16_t* filterDir, SourceSet sources, SourceSet perModSources,
                         const char16_t* gamename) {
    if (!filterDir[0] || (sources & perModSources) != 0) {
        return true;
    }
    // Only the parser's own stand-in, exactly as it writes it, means no game was named.
    bool named = gamename[0] && std::u16string_view(gamename) != GAMENAME_ABSENT;
    return EqualsIgnoringAsciiCase(filterDir, named ? gamename : BASE_GAME_DIR);
}
