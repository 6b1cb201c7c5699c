#include "datagram_socket.h"

#include <boost/asio/socket_base.hpp>

namespace skerrow_master {

namespace {

// Reads per wake-up at most, so a flood on one socket leaves the others and the web list their turn.
constexpr int DRAIN_BATCH = 512;
// Asked of the kernel, which grants up to net.core.rmem_max: room for a burst of heartbeats when many servers start
// at once.
constexpr int RECEIVE_BUFFER_BYTES = 8 << 20;

} // namespace

udp::endpoint ToEndpoint(const ListEntry& address) {
    return udp::endpoint(asio::ip::address_v4(OctetsOfAddress(address.addr)), address.port);
}

ListEntry FromEndpoint(const udp::endpoint& endpoint) {
    return FromOctets(endpoint.address().is_v4() ? endpoint.address().to_v4().to_uint() : 0, endpoint.port());
}

bool DatagramSocket::Open(const ListEntry& local, Handler handler, std::string* error) {
    boost::system::error_code ec;
    socket_.open(udp::v4(), ec);
    if (!ec) {
        socket_.set_option(asio::socket_base::receive_buffer_size(RECEIVE_BUFFER_BYTES), ec);
        ec = {}; // a smaller buffer only costs datagrams in a burst
        socket_.bind(ToEndpoint(local), ec);
    }
    if (!ec) {
        socket_.non_blocking(true, ec);
    }
    if (ec) {
        *error = "udp " + FormatAddress(local) + ": " + ec.message();
        socket_.close(ec);
        return false;
    }
    handler_ = std::move(handler);
    Wait();
    return true;
}

void DatagramSocket::Close() {
    boost::system::error_code ec;
    socket_.close(ec);
}

ListEntry DatagramSocket::local() const {
    boost::system::error_code ec;
    return FromEndpoint(socket_.local_endpoint(ec));
}

bool DatagramSocket::SendTo(const ListEntry& to, const void* data, size_t size) {
    boost::system::error_code ec;
    socket_.send_to(asio::buffer(data, size), ToEndpoint(to), 0, ec);
    return !ec;
}

void DatagramSocket::Wait() {
    socket_.async_wait(udp::socket::wait_read, [this](const boost::system::error_code& ec) {
        if (ec == asio::error::operation_aborted || !socket_.is_open()) {
            return;
        }
        Drain();
        Wait();
    });
}

void DatagramSocket::Drain() {
    for (int i = 0; i < DRAIN_BATCH; ++i) {
        udp::endpoint from;
        boost::system::error_code ec;
        size_t size = socket_.receive_from(asio::buffer(buffer_), from, 0, ec);
        if (ec == asio::error::would_block || ec == asio::error::try_again) {
            return;
        }
        // Other errors (an ICMP report of an earlier send) belong to one datagram, not to the socket.
        if (!ec) {
            handler_(FromEndpoint(from), buffer_.data(), size);
        }
    }
}

} // namespace skerrow_master
