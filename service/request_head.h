// A request's head (request line and fields) read within hard limits: at most MAX_HEAD_BYTES in all and
// MAX_HEAD_FIELDS fields, however the bytes arrive. Beast's own header limit counts only the bytes it has not parsed
// yet, so a client that sends its fields a few at a time would never reach it; here every byte the parser takes
// counts. No field is kept (the answer needs only the method, target, version and keep-alive), so a head costs no
// memory beyond the connection's fixed buffer.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace skerrow_master {

constexpr size_t MAX_HEAD_BYTES = 8192;
constexpr size_t MAX_HEAD_FIELDS = 64;

enum class HeadStatus {
    Incomplete, // offer more bytes
    Complete,
    TooLarge,  // over the byte or field limit: 431
    HasBody,   // the request announces a body, which no request of the web list has: 413
    Malformed, // not an HTTP/1.x request: 400
};

class RequestHeadReader {
public:
    RequestHeadReader();
    ~RequestHeadReader();

    // Forgets the last request; the next bytes start a new one.
    void Start();
    // Offers the bytes received and not taken yet; *taken is how many of them the parser took (the rest belongs to
    // a later call or, once complete, to the next request).
    HeadStatus Put(std::string_view bytes, size_t* taken);

    // Valid once Put has returned Complete.
    bool is_get() const { return is_get_; }
    std::string_view target() const { return target_; }
    unsigned version() const { return version_; }
    bool keep_alive() const;

private:
    class Parser;

    std::unique_ptr<Parser> parser_;
    size_t head_bytes_ = 0; // taken by the parser for this request so far
    bool is_get_ = false;
    std::string target_;
    unsigned version_ = 11;
};

} // namespace skerrow_master
