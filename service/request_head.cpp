#include "request_head.h"

#include <boost/beast/http/basic_parser.hpp>
#include <boost/beast/http/error.hpp>

namespace skerrow_master {

namespace http = boost::beast::http;
using boost::beast::error_code;
using boost::beast::string_view;

// Beast's request parser without the fields: it counts them and keeps only what the answer needs.
class RequestHeadReader::Parser final : public http::basic_parser<true> {
public:
    explicit Parser(RequestHeadReader* reader) : reader_(reader) {
        header_limit(static_cast<std::uint32_t>(MAX_HEAD_BYTES));
        body_limit(0);
    }

private:
    void on_request_impl(http::verb method, string_view, string_view target, int version, error_code&) override {
        reader_->is_get_ = method == http::verb::get;
        reader_->target_.assign(target.data(), target.size());
        reader_->version_ = static_cast<unsigned>(version);
    }
    void on_response_impl(int, string_view, int, error_code& ec) override { ec = http::error::bad_method; }
    void on_field_impl(http::field, string_view, string_view, error_code& ec) override {
        if (++fields_ > MAX_HEAD_FIELDS) {
            ec = http::error::header_limit;
        }
    }
    void on_header_impl(error_code&) override {}
    void on_body_init_impl(const boost::optional<std::uint64_t>&, error_code&) override {}
    std::size_t on_body_impl(string_view body, error_code&) override { return body.size(); }
    void on_chunk_header_impl(std::uint64_t, string_view, error_code&) override {}
    std::size_t on_chunk_body_impl(std::uint64_t, string_view body, error_code&) override { return body.size(); }
    void on_finish_impl(error_code&) override {}

    RequestHeadReader* reader_;
    size_t fields_ = 0;
};

RequestHeadReader::RequestHeadReader() {
    Start();
}

RequestHeadReader::~RequestHeadReader() = default;

void RequestHeadReader::Start() {
    parser_ = std::make_unique<Parser>(this);
    head_bytes_ = 0;
    is_get_ = false;
    target_.clear();
    version_ = 11;
}

HeadStatus RequestHeadReader::Put(std::string_view bytes, size_t* taken) {
    *taken = 0;
    if (parser_->is_header_done()) {
        return HeadStatus::Malformed; // a finished request takes no more bytes: Start the next one
    }
    error_code ec;
    // Without eager parsing the parser stops at the end of the head and leaves any body and later requests.
    *taken = parser_->put(boost::asio::const_buffer(bytes.data(), bytes.size()), ec);
    head_bytes_ += *taken;
    if (ec == http::error::need_more) {
        // The parser holds back an unfinished line: it still counts against the limit.
        return head_bytes_ + (bytes.size() - *taken) >= MAX_HEAD_BYTES ? HeadStatus::TooLarge : HeadStatus::Incomplete;
    }
    if (ec == http::error::header_limit || (!ec && head_bytes_ > MAX_HEAD_BYTES)) {
        return HeadStatus::TooLarge;
    }
    if (ec == http::error::body_limit || (!ec && !parser_->is_done())) {
        return HeadStatus::HasBody;
    }
    return ec ? HeadStatus::Malformed : HeadStatus::Complete;
}

bool RequestHeadReader::keep_alive() const {
    return parser_->keep_alive();
}

} // namespace skerrow_master
