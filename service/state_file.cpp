#include "state_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

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
    return ParseAddress(line.substr(0, first), &server->address) && IsCheckable(server->address) &&
           ParseWhole(line.substr(first + 1, second - first - 1), &server->last_answer) &&
           IsSavableGameName(server->gamename);
}

bool Reject(std::vector<SavedServer>* servers, std::string* error, const std::string& why) {
    servers->clear();
    *error = why;
    return false;
}

} // namespace

bool IsSavableGameName(std::string_view gamename) {
    return !gamename.empty() && gamename.size() <= MAX_GAMENAME_BYTES &&
           gamename.find_first_of(std::string_view("\n\0", 2)) == std::string_view::npos;
}

std::string FormatState(const std::vector<SavedServer>& servers) {
    std::string text = std::string(HEADER) + "\n";
    for (const SavedServer& server : servers) {
        text += FormatAddress(server.address) + " " + std::to_string(server.last_answer) + " " + server.gamename + "\n";
    }
    return text + TRAILER + std::to_string(servers.size()) + "\n";
}

bool ParseState(std::string_view text, size_t max_servers, std::vector<SavedServer>* servers, std::string* error) {
    servers->clear();
    std::string_view line;
    if (!NextLine(&text, &line) || line != HEADER) {
        return Reject(servers, error, "line 1: not a state file");
    }
    for (size_t number = 2; NextLine(&text, &line); ++number) {
        std::string where = "line " + std::to_string(number) + ": ";
        if (line.compare(0, sizeof TRAILER - 1, TRAILER) == 0) {
            size_t count = 0;
            if (!ParseWhole(line.substr(sizeof TRAILER - 1), &count) || count != servers->size()) {
                return Reject(servers, error, where + "the count does not match");
            }
            return text.empty() || Reject(servers, error, where + "text after the end");
        }
        if (servers->size() == max_servers) {
            return Reject(servers, error, where + "more than " + std::to_string(max_servers) + " servers");
        }
        SavedServer server;
        if (!ParseServerLine(line, &server)) {
            return Reject(servers, error, where + "not a server");
        }
        servers->push_back(std::move(server));
    }
    return Reject(servers, error, "no end line: the file was cut short");
}

StateLoad ReadStateFile(const std::string& path, size_t max_servers, std::vector<SavedServer>* servers,
                        std::string* error) {
    servers->clear();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = std::strerror(errno);
        return errno == ENOENT ? StateLoad::Missing : StateLoad::Ignored;
    }
    std::string text;
    char buffer[65536];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() <= MAX_STATE_BYTES) {
        text.append(buffer, count);
    }
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed || text.size() > MAX_STATE_BYTES) {
        *error = failed ? "cannot be read" : "too large";
        return StateLoad::Ignored;
    }
    return ParseState(text, max_servers, servers, error) ? StateLoad::Loaded : StateLoad::Ignored;
}

bool WriteStateFile(const std::string& path, const std::string& text, std::string* error) {
    std::string temporary = path + ".tmp";
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = temporary + ": " + std::strerror(errno);
        return false;
    }
    size_t written = 0;
    while (written < text.size()) {
        ssize_t count = write(fd, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break;
        }
        written += static_cast<size_t>(count);
    }
    bool ok = written == text.size() && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        *error = temporary + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}
