#include "core/settings/configuration.h"

#include "core/settings/build_defaults.h"
#include "core/text/text.h"

void ValidateConfiguration(Configuration& config) {
    config.gameDir[PATH_TEXT_SIZE - 1] = 0;
    config.gameExe[PATH_TEXT_SIZE - 1] = 0;
    if (config.gameExe[0] == 0) {
        TextCopy(config.gameExe, PATH_TEXT_SIZE, u"quake2.exe");
    }
    if (config.packetsPerSecond == 0) {
        config.packetsPerSecond = DEFAULT_PACKETS_PER_SECOND;
    } else if (config.packetsPerSecond < 0) {
        config.packetsPerSecond = 1;
    }
    // A negative threshold would read as a huge one in the ping dot's unsigned comparison: no ping is that.
    if (config.goodPing <= 0) {
        config.goodPing = DEFAULT_GOOD_PING;
    }
    if (config.mediumPing <= 0) {
        config.mediumPing = DEFAULT_MEDIUM_PING;
    }
    if (config.refreshMinutes < 0) {
        config.refreshMinutes = 0;
    } else if (config.refreshMinutes > 0 && config.refreshMinutes < MIN_REFRESH_MINUTES) {
        config.refreshMinutes = MIN_REFRESH_MINUTES;
    } else if (config.refreshMinutes > MAX_REFRESH_MINUTES) {
        config.refreshMinutes = MAX_REFRESH_MINUTES;
    }
}

std::vector<MasterEntry> DefaultMasters() {
    std::vector<MasterEntry> masters;
    std::u16string error;
    // The build checked the list roughly and the unit tests read it whole, so this never fails in a shipped build.
    ParseMasterListText(SKERROW_DEFAULT_MASTERS, &masters, &error);
    return masters;
}

std::vector<MasterEntry> MastersToAsk(const Configuration& config) {
    return config.masters.empty() ? DefaultMasters() : config.masters;
}
