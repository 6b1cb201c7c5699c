#include "log.h"

#include <cstdio>
#include <ctime>

LogSink StandardErrorLog() {
    return [](const std::string& line) {
        std::time_t now = std::time(nullptr);
        std::tm utc{};
        gmtime_r(&now, &utc);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
        std::fprintf(stderr, "%s %s\n", stamp, line.c_str());
        std::fflush(stderr);
    };
}
