// Whether a request head is taken does not depend on how it is cut into reads, and the byte and field caps always
// hold: the input is fed to the head reader whole and in pieces of a size it chooses, then sent to a real web server
// in the process over loopback, which must answer as the reader decided (or not at all where the head never ends).
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/asio/io_context.hpp>

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

#include "loopback_client.h"
#include "request_head.h"
#include "require.h"
#include "web_server.h"

using namespace skerrow_master; // the service's web side under test

namespace {

// Every piece handed over at once, as one read would.
HeadStatus ReadHead(std::string_view bytes, size_t piece, size_t* head_bytes) {
    RequestHeadReader reader;
    std::string held;
    size_t offered = 0;
    *head_bytes = 0;
    HeadStatus status = HeadStatus::Incomplete;
    while (status == HeadStatus::Incomplete && offered < bytes.size()) {
        size_t more = std::min(piece, bytes.size() - offered);
        held.append(bytes.substr(offered, more));
        offered += more;
        size_t taken = 0;
        status = reader.Put(held, &taken);
        Require(taken <= held.size());
        held.erase(0, taken);
        *head_bytes += taken;
    }
    // Only a head within the caps completes, and an unfinished one is never left waiting past them.
    Require(status != HeadStatus::Complete || *head_bytes <= MAX_HEAD_BYTES);
    Require(status != HeadStatus::Incomplete || offered < MAX_HEAD_BYTES);
    return status;
}

bool IsTaken(HeadStatus status) {
    return status == HeadStatus::Complete || status == HeadStatus::HasBody;
}

int ExpectedAnswer(HeadStatus status) {
    switch (status) {
    case HeadStatus::Complete:
        return 200;
    case HeadStatus::TooLarge:
        return 431;
    case HeadStatus::HasBody:
        return 413;
    case HeadStatus::Malformed:
        return 400;
    case HeadStatus::Incomplete:
        break;
    }
    return 0;
}

// The service's web server with an answer of its own, on a thread of its own for the whole run.
ListEntry RunningServer() {
    static ListEntry address = [] {
        auto* io = new boost::asio::io_context;
        WebLimits limits;
        limits.timeout = std::chrono::seconds(2);
        limits.per_address = {1e9, 1e9};
        limits.per_subnet = {1e9, 1e9};
        auto* server = new WebServer(
            *io,
            [](bool, std::string_view) {
                return WebAnswer{200, "ok\n"};
            },
            limits, [](const std::string&) {});
        std::string error;
        Require(server->Open(FromOctets(0x7F000001, 0), &error));
        std::thread([io] { io->run(); }).detach();
        return server->local();
    }();
    return address;
}

// The first answer's status to the bytes sent on a connection of their own, the sending side then shut: 0 for
// none, -1 where the connection was reset while the bytes were still going (the answer may be lost with it).
// libFuzzer's timer signal interrupts system calls: each is tried again.
int AnswerOfServer(std::string_view bytes) {
    static uint32_t source = 0;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 10; ++attempt) {
        // Sources across 127.1.0.0/16, so connections in quick succession do not all share one address.
        fd = ConnectFrom(RunningServer(), 0x7F010000 | (++source & 0xFFFF));
    }
    Require(fd >= 0);
    size_t offset = 0;
    for (int tries = 0; offset < bytes.size() && tries < 100; ++tries) {
        ssize_t count = send(fd, bytes.data() + offset, bytes.size() - offset, MSG_NOSIGNAL);
        if (count < 0 && errno != EINTR) {
            break;
        }
        offset += count > 0 ? static_cast<size_t>(count) : 0;
    }
    bool sent = offset == bytes.size();
    shutdown(fd, SHUT_WR);
    std::string answer;
    char buffer[4096];
    ssize_t count = -1;
    for (int tries = 0; answer.size() < 12 && tries < 100; ++tries) {
        pollfd ready{fd, POLLIN, 0};
        int polled = poll(&ready, 1, 5000);
        count = polled == 1 ? recv(fd, buffer, sizeof buffer, 0) : -1;
        if (count < 0 && polled != 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break;
        }
        answer.append(buffer, static_cast<size_t>(count));
    }
    close(fd);
    if (answer.size() < 12) {
        return sent && answer.empty() && count == 0 ? 0 : -1;
    }
    Require(answer.compare(0, 9, "HTTP/1.1 ") == 0 || answer.compare(0, 9, "HTTP/1.0 ") == 0);
    return std::stoi(answer.substr(9, 3));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return -1;
    }
    std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    size_t whole_bytes = 0, piece_bytes = 0;
    HeadStatus whole = ReadHead(bytes, bytes.size(), &whole_bytes);
    HeadStatus pieces = ReadHead(bytes, 1 + data[0] % 97, &piece_bytes);
    // A head is taken, or not, however its bytes arrive, and then in full. A refused one may be refused for either of
    // its faults, or left waiting for the rest of a line: Beast looks at a line's bytes only once the whole line is
    // there (or at once, when the read holds all of it), and such a line may lie past the cap or never end.
    Require(IsTaken(whole) == IsTaken(pieces));
    Require(!IsTaken(whole) || (whole == pieces && whole_bytes == piece_bytes));
    int answer = AnswerOfServer(bytes);
    if (IsTaken(whole)) {
        Require(answer == -1 || answer == ExpectedAnswer(whole));
    } else {
        Require(answer == -1 || answer == 400 || answer == 431 || (answer == 0 && bytes.size() < MAX_HEAD_BYTES));
    }
    return 0;
}
