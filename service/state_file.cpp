#include "state_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "core/text/format.h"

namespace skerrow_master {

namespace {

const char HEADER[] = "skerrow-master state 1";
const char TRAILER[] = "end ";
constexpr size_t MAX_GAMENAME_BYTES = 63;
// Far more than the largest file the service writes; a bigger one is not ours.
constexpr size_t MAX_STATE_BYTES = 16 << 20;

// Splits off the text up to the next line feed; false when no whole line is left.
bool NextLine(std::string_view* text, std::string_view* line) {
    size_t end = text->find('\n');
    if (end == std::string_view::npos) {
        return false;
    }
    *line = text->substr(0, end);
    *text = text->substr(end + 1);
    return true;
}

template <typename Number> bool ParseWhole(std::string_view text, Number* value) {
    auto [end, result] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return result == std::errc() && end == text.data() + text.size() && !text.empty() && text[0] != '-';
}

// "a.b.c.d:port SECONDS GAMENAME"
bool ParseServerLine(std::string_view line, SavedServer* server) {
    size_t first = line.find(' ');
    size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (second == std::string_view::npos) {
        return false;
    }
    server->gamename = std::string(line.substr(second + 1));
    return ParseAddress(line.substr(0, first), &server->address) && IsQueryableServer(server->address) &&
           ParseWhole(line.substr(first + 1, second - first - 1), &server->last_answer) &&
           IsSavableGameName(server->gamename);
}

// Keeps the first thing found out of place.
void NoteDamage(StateContents* contents, const std::string& what) {
    if (contents->damage.empty()) {
        contents->damage = what;
    }
}

} // namespace

bool IsSavableGameName(std::string_view gamename) {
    return !gamename.empty() && gamename.size() <= MAX_GAMENAME_BYTES &&
           gamename.find_first_of(std::string_view("\n\0", 2)) == std::string_view::npos;
}

std::string FormatState(const std::vector<SavedServer>& servers) {
    std::string text = std::string(HEADER) + "\n";
    for (const SavedServer& server : servers) {
        fmt::format_to(std::back_inserter(text), "{} {} {}\n", FormatAddress(server.address), server.last_answer,
                       server.gamename);
    }
    fmt::format_to(std::back_inserter(text), "{}{}\n", TRAILER, servers.size());
    return text;
}

bool ParseState(std::string_view text, size_t max_servers, StateContents* contents, std::string* error) {
    *contents = {};
    std::string_view line;
    if (!NextLine(&text, &line) || line != HEADER) {
        *error = "line 1: not a state file";
        return false;
    }
    size_t lines = 0;
    for (size_t number = 2; NextLine(&text, &line); ++number) {
        std::string where = fmt::format("line {}: ", number);
        if (line.compare(0, sizeof TRAILER - 1, TRAILER) == 0) {
            size_t count = 0;
            if (!ParseWhole(line.substr(sizeof TRAILER - 1), &count) || count != lines) {
                NoteDamage(contents, where + "the count does not match");
            }
            if (!text.empty()) {
                NoteDamage(contents, where + "text after the end");
            }
            // A line lost from the middle still counts as held.
            contents->held = std::max(lines, count);
            return true;
        }
        ++lines;
        SavedServer server;
        if (contents->servers.size() == max_servers) {
            NoteDamage(contents, fmt::format("{}more than {} servers", where, max_servers));
            ++contents->damaged;
        } else if (!ParseServerLine(line, &server)) {
            NoteDamage(contents, where + "not a server");
            ++contents->damaged;
        } else {
            contents->servers.push_back(std::move(server));
        }
    }
    NoteDamage(contents, "no end line: the file was cut short");
    if (!text.empty() && text.compare(0, sizeof TRAILER - 1, TRAILER) != 0) { // a server line cut in its middle
        ++lines;
        ++contents->damaged;
    }
    contents->held = lines;
    return true;
}

StateLoad ReadStateFile(const std::string& path, size_t max_servers, StateContents* contents, std::string* error) {
    *contents = {};
    // Without O_NONBLOCK, opening a FIFO waits for a writer.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = std::strerror(errno);
        return errno == ENOENT ? StateLoad::Missing : StateLoad::Ignored;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        *error = "not a regular file";
        return StateLoad::NotRegular;
    }
    std::string text;
    char buffer[65536];
    int read_error = 0;
    while (text.size() <= MAX_STATE_BYTES) {
        ssize_t count = read(fd, buffer, sizeof buffer);
        if (count > 0) {
            text.append(buffer, static_cast<size_t>(count));
        } else if (count == 0 || errno != EINTR) {
            read_error = count == 0 ? 0 : errno;
            break;
        }
    }
    close(fd);
    if (read_error != 0 || text.size() > MAX_STATE_BYTES) {
        *error = read_error != 0 ? std::strerror(read_error) : "too large";
        return StateLoad::Ignored;
    }
    return ParseState(text, max_servers, contents, error) ? StateLoad::Loaded : StateLoad::Ignored;
}

bool WriteStateFile(const std::string& path, const std::string& text, std::string* error) {
    std::string temporary = path + ".tmp";
    // A fresh file: whatever lay at PATH.tmp before (a FIFO, a link) is not written through.
    unlink(temporary.c_str());
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = temporary + ": " + std::strerror(errno);
        return false;
    }
    int failure = 0;
    for (size_t written = 0; written < text.size() && failure == 0;) {
        ssize_t count = write(fd, text.data() + written, text.size() - written);
        if (count > 0) {
            written += static_cast<size_t>(count);
        } else if (count == 0 || errno != EINTR) {
            failure = count == 0 ? ENOSPC : errno;
        }
    }
    if (failure == 0 && fsync(fd) != 0) {
        failure = errno;
    }
    if (close(fd) != 0 && failure == 0) {
        failure = errno;
    }
    bool ok = failure == 0;
    if (!ok) {
        *error = temporary + ": " + std::strerror(failure);
    } else if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        *error = path + ": " + std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        unlink(temporary.c_str());
    }
    return ok;
}

} // namespace skerrow_master
