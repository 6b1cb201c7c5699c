#include "master_service.h"

#include <microhttpd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string_view>
#include <thread>

namespace {

constexpr uint16_t MADE_UP_PORT = 27910;

// Entries for 10.0.0.1, 10.0.0.2, ... all on port 27910, cut to exactly size bytes.
std::string MadeUpList(size_t size) {
    std::string body;
    body.reserve(size + 6);
    for (uint32_t host = 0x0a000001; body.size() < size; ++host) {
        AppendListEntry(&body, Endpoint{host, MADE_UP_PORT});
    }
    body.resize(size);
    return body;
}

// The raw, undecoded value of a query parameter; the first one when it repeats.
std::optional<std::string_view> QueryValue(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        size_t amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        size_t equals = pair.find('=');
        if (pair.substr(0, equals) == name) {
            return equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1);
        }
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    }
    return std::nullopt;
}

void SleepMillis(int ms) {
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

// A body handed out in pieces with pauses between them, or cut off early with the connection dropped.
struct BodyReader {
    std::string body;
    std::vector<size_t> piece_ends; // where each listed piece ends, before the end of the body
    int pause_ms = 0;
    std::optional<size_t> close_after;
    size_t paused_at = 0;

    BodyReader(std::string text, const HttpAnswer& how)
        : body(std::move(text)), pause_ms(how.chunk_delay_ms), close_after(how.close_after) {
        size_t end = 0;
        for (size_t piece : how.chunks) {
            end += piece;
            if (end >= body.size()) {
                break;
            }
            piece_ends.push_back(end);
        }
    }

    static ssize_t Read(void* self, uint64_t position, char* buffer, size_t max) {
        auto* reader = static_cast<BodyReader*>(self);
        size_t at = static_cast<size_t>(position);
        if (reader->close_after && at >= *reader->close_after) {
            return MHD_CONTENT_READER_END_WITH_ERROR; // libmicrohttpd closes the connection mid-body
        }
        if (at >= reader->body.size()) {
            return MHD_CONTENT_READER_END_OF_STREAM;
        }
        const std::vector<size_t>& ends = reader->piece_ends;
        if (at != reader->paused_at && std::find(ends.begin(), ends.end(), at) != ends.end()) {
            SleepMillis(reader->pause_ms);
            reader->paused_at = at;
        }
        auto next = std::upper_bound(ends.begin(), ends.end(), at);
        size_t end = next == ends.end() ? reader->body.size() : *next;
        if (reader->close_after) {
            end = std::min(end, *reader->close_after);
        }
        size_t count = std::min(max, end - at);
        std::memcpy(buffer, reader->body.data() + at, count);
        return static_cast<ssize_t>(count);
    }

    static void Free(void* self) { delete static_cast<BodyReader*>(self); }
};

// The header as the log line writes it: quoted, or - when the request has none.
std::string HeaderForLog(MHD_Connection* connection, const char* name) {
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value ? "\"" + EscapeForLog(value, "\"") + "\"" : "-";
}

// The request target exactly as it came on the request line.
struct Request {
    std::string target;
    bool started = false;
};

} // namespace

struct MasterService::Answer {
    int status = 404;
    std::string body = "not found\n";
    std::string type = "text/plain";
    std::string location; // for a redirect
    HttpAnswer how;
};

struct MasterService::Callbacks {
    static void* OnRequestLine(void*, const char* uri, MHD_Connection*) { return new Request{uri ? uri : ""}; }

    static void OnCompleted(void*, MHD_Connection*, void** request, MHD_RequestTerminationCode) {
        delete static_cast<Request*>(*request);
        *request = nullptr;
    }

    static MHD_Result OnRequest(void* self, MHD_Connection* connection, const char* url, const char* method,
                                const char*, const char*, size_t* upload_data_size, void** state) {
        auto* service = static_cast<MasterService*>(self);
        if (!*state) {
            *state = new Request{url};
        }
        auto* request = static_cast<Request*>(*state);
        if (!request->started) {
            // The headers are in; answer on the next call, once any request body has been read.
            request->started = true;
            return MHD_YES;
        }
        if (*upload_data_size != 0) {
            *upload_data_size = 0;
            return MHD_YES;
        }
        Answer answer = service->Route(method, request->target);
        service->log_->Add("http target=" + EscapeForLog(request->target, " ") +
                           " ua=" + HeaderForLog(connection, MHD_HTTP_HEADER_USER_AGENT) +
                           " cache-control=" + HeaderForLog(connection, MHD_HTTP_HEADER_CACHE_CONTROL) +
                           " pragma=" + HeaderForLog(connection, MHD_HTTP_HEADER_PRAGMA) +
                           " status=" + std::to_string(answer.status));
        SleepMillis(answer.how.delay_ms);

        MHD_Response* response;
        if (answer.how.chunks.empty() && !answer.how.close_after) {
            response = MHD_create_response_from_buffer(answer.body.size(), answer.body.data(), MHD_RESPMEM_MUST_COPY);
        } else {
            size_t size = answer.body.size();
            auto* reader = new BodyReader(std::move(answer.body), answer.how);
            response = MHD_create_response_from_callback(size, 16384, &BodyReader::Read, reader, &BodyReader::Free);
        }
        if (!response) {
            return MHD_NO;
        }
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.type.c_str());
        if (!answer.location.empty()) {
            MHD_add_response_header(response, MHD_HTTP_HEADER_LOCATION, answer.location.c_str());
        }
        MHD_Result result = MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
        MHD_destroy_response(response);
        return result;
    }
};

std::shared_ptr<const MasterContent> MakeMasterContent(const Scenario& scenario) {
    auto content = std::make_shared<MasterContent>();
    content->master = scenario.master;
    content->filters = scenario.filters;
    content->redirects = scenario.redirects;
    for (const ServerConfig& server : scenario.servers) {
        if (server.listed) {
            MasterContent::Entry entry{server.mod, {}};
            AppendListEntry(&entry.bytes, server.address);
            content->listed.push_back(std::move(entry));
        }
    }
    return content;
}

MasterService::Answer MasterService::Route(const std::string& method, const std::string& target) const {
    Answer answer;
    if (method != "GET") {
        return answer;
    }
    std::string_view whole(target);
    size_t question = whole.find('?');
    std::string_view path = whole.substr(0, question);
    std::string_view query = question == std::string_view::npos ? std::string_view() : whole.substr(question + 1);
    std::shared_ptr<const MasterContent> content = Content();

    for (const RedirectConfig& redirect : content->redirects) {
        if (redirect.from == target) {
            answer.status = redirect.status;
            answer.location = redirect.to;
            answer.body = "moved\n";
            return answer;
        }
    }
    if (path == "/" && QueryValue(query, "raw") == std::string_view("2")) {
        answer.how = content->master;
        answer.type = "application/octet-stream";
        if (content->master.body) {
            answer.body = *content->master.body;
        } else if (content->master.body_size) {
            answer.body = MadeUpList(*content->master.body_size);
        } else {
            std::string_view mod = QueryValue(query, "mod").value_or(std::string_view());
            answer.body.clear();
            for (const MasterContent::Entry& entry : content->listed) {
                if (mod.empty() || entry.mod == mod) {
                    answer.body += entry.bytes;
                }
            }
        }
    } else if (path == "/filters") {
        answer.how = content->filters;
        answer.type = "text/plain; charset=utf-8";
        answer.body = content->filters.body.value_or(std::string());
    } else {
        return answer;
    }
    answer.status = answer.how.status;
    if (answer.how.content_type) {
        answer.type = *answer.how.content_type;
    }
    return answer;
}

bool MasterService::Start(const Endpoint& address, std::string* error) {
    Stop();
    listen_fd_ = BindSocket(SOCK_STREAM, address, error);
    if (listen_fd_ < 0) {
        return false;
    }
    bound_ = LocalEndpoint(listen_fd_);
    // Poll, not select: with thousands of game server sockets open, our descriptors run past FD_SETSIZE.
    daemon_ = MHD_start_daemon(
        MHD_USE_THREAD_PER_CONNECTION | MHD_USE_POLL_INTERNAL_THREAD, 0, nullptr, nullptr, &Callbacks::OnRequest, this,
        MHD_OPTION_LISTEN_SOCKET, listen_fd_, MHD_OPTION_URI_LOG_CALLBACK, &Callbacks::OnRequestLine, this,
        MHD_OPTION_NOTIFY_COMPLETED, &Callbacks::OnCompleted, this, MHD_OPTION_CONNECTION_TIMEOUT, 30u, MHD_OPTION_END);
    if (!daemon_) {
        *error = "cannot start the HTTP service on " + FormatEndpoint(bound_);
        close(listen_fd_);
        listen_fd_ = -1;
        return false;
    }
    return true;
}

void MasterService::Stop() {
    if (daemon_) {
        MHD_stop_daemon(daemon_); // closes the listening socket too
        daemon_ = nullptr;
        listen_fd_ = -1;
    }
}

void MasterService::SetContent(std::shared_ptr<const MasterContent> content) {
    std::lock_guard<std::mutex> lock(mutex_);
    content_ = std::move(content);
}

std::shared_ptr<const MasterContent> MasterService::Content() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return content_;
}
