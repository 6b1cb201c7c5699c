#include "core/settings/recent_servers.h"

#include <algorithm>

#include "core/text/address.h"
#include "core/text/format.h"

namespace {

constexpr int64_t SECONDS_PER_DAY = 86400;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back (Howard Hinnant's algorithms).
int64_t DaysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t yearOfEra = year - era * 400;
    int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int DaysInMonth(int year, int month) {
    static constexpr int DAYS[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : DAYS[month - 1];
}

// Exactly `count` decimal digits at `text[at]`.
bool ReadDigits(std::u16string_view text, size_t at, size_t count, int* number) {
    if (at + count > text.size()) {
        return false;
    }
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < u'0' || text[i] > u'9') {
            return false;
        }
        value = value * 10 + (text[i] - u'0');
    }
    *number = value;
    return true;
}

// "YYYY-MM-DDTHH:MM:SSZ" and nothing else.
bool ParseJoinTime(std::u16string_view text, int64_t* seconds) {
    CivilTime time{};
    if (text.size() != 20 || text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':' ||
        text[16] != u':' || text[19] != u'Z') {
        return false;
    }
    return ReadDigits(text, 0, 4, &time.year) && ReadDigits(text, 5, 2, &time.month) &&
           ReadDigits(text, 8, 2, &time.day) && ReadDigits(text, 11, 2, &time.hour) &&
           ReadDigits(text, 14, 2, &time.minute) && ReadDigits(text, 17, 2, &time.second) &&
           SecondsFromCivil(time, seconds);
}

auto Naming(uint32_t addr, uint16_t port) {
    return [addr, port](const RecentServer& server) { return server.addr == addr && server.port == port; };
}

} // namespace

CivilTime CivilFromSeconds(int64_t seconds) {
    seconds = std::max<int64_t>(seconds, 0);
    int64_t days = seconds / SECONDS_PER_DAY;
    int64_t inDay = seconds % SECONDS_PER_DAY;
    days += 719468;
    int64_t era = days / 146097;
    int64_t dayOfEra = days - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t shifted = (5 * dayOfYear + 2) / 153;
    CivilTime time{};
    time.day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
    time.month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
    time.year = static_cast<int>(yearOfEra + era * 400 + (time.month <= 2));
    time.hour = static_cast<int>(inDay / 3600);
    time.minute = static_cast<int>(inDay / 60 % 60);
    time.second = static_cast<int>(inDay % 60);
    return time;
}

bool SecondsFromCivil(const CivilTime& time, int64_t* seconds) {
    if (time.year < 1970 || time.year > 9999 || time.month < 1 || time.month > 12 || time.day < 1 ||
        time.day > DaysInMonth(time.year, time.month) || time.hour < 0 || time.hour > 23 || time.minute < 0 ||
        time.minute > 59 || time.second < 0 || time.second > 59) {
        return false;
    }
    *seconds = DaysFromCivil(time.year, time.month, time.day) * SECONDS_PER_DAY + time.hour * 3600 + time.minute * 60 +
               time.second;
    return true;
}

size_t ParseRecentServers(const std::vector<std::u16string>& strings, std::vector<RecentServer>* servers) {
    servers->clear();
    size_t leftOut = 0;
    for (const std::u16string& text : strings) {
        size_t space = text.find(u' ');
        RecentServer server{};
        if (servers->size() == RECENT_SERVERS_MAX || space == std::u16string::npos ||
            !ParseServerAddress(std::u16string_view(text).substr(0, space), &server.addr, &server.port) ||
            !ParseJoinTime(std::u16string_view(text).substr(space + 1), &server.joinedAt) ||
            FindRecent(*servers, server.addr, server.port)) {
            ++leftOut;
            continue;
        }
        servers->push_back(server);
    }
    return leftOut;
}

std::vector<std::u16string> FormatRecentServers(const std::vector<RecentServer>& servers) {
    std::vector<std::u16string> strings;
    for (const RecentServer& server : servers) {
        char16_t address[32];
        FormatServerAddress(address, std::size(address), server.addr, server.port);
        CivilTime time = CivilFromSeconds(server.joinedAt);
        strings.push_back(fmt::format(u"{} {:04}-{:02}-{:02}T{:02}:{:02}:{:02}Z", std::u16string_view(address),
                                      time.year, time.month, time.day, time.hour, time.minute, time.second));
    }
    return strings;
}

bool NoteJoin(std::vector<RecentServer>* servers, uint32_t addr, uint16_t port, int64_t at) {
    if (port == 0) {
        return false;
    }
    ForgetRecent(servers, addr, port);
    servers->insert(servers->begin(), RecentServer{addr, port, at});
    if (servers->size() > RECENT_SERVERS_MAX) {
        servers->resize(RECENT_SERVERS_MAX);
    }
    return true;
}

bool ForgetRecent(std::vector<RecentServer>* servers, uint32_t addr, uint16_t port) {
    auto found = std::find_if(servers->begin(), servers->end(), Naming(addr, port));
    if (found == servers->end()) {
        return false;
    }
    servers->erase(found);
    return true;
}

const RecentServer* FindRecent(const std::vector<RecentServer>& servers, uint32_t addr, uint16_t port) {
    auto found = std::find_if(servers.begin(), servers.end(), Naming(addr, port));
    return found == servers.end() ? nullptr : &*found;
}

std::u16string LastJoinedText(const CivilTime& local) {
    return fmt::format(u"Last joined {:04}-{:02}-{:02} {:02}:{:02}", local.year, local.month, local.day, local.hour,
                       local.minute);
}
