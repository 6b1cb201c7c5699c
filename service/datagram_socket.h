// A UDP socket of the service on the one io_context: it reads every datagram that is waiting each time the socket
// becomes readable, without blocking, and sends without blocking (a datagram the kernel cannot take now is dropped,
// as the network may drop it anyway).
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>

#include <functional>
#include <string>
#include <vector>

#include "server_address.h"

namespace skerrow_master {

namespace asio = boost::asio;
using asio::ip::udp;

class DatagramSocket {
public:
    // The datagram may be larger than the service reads (up to 65,536 bytes arrive whole): the handler decides.
    using Handler = std::function<void(const ListEntry& from, const unsigned char* data, size_t size)>;

    explicit DatagramSocket(asio::io_context& io) : socket_(io) {}

    // Binds the socket and hands every datagram that arrives to the handler.
    bool Open(const ListEntry& local, Handler handler, std::string* error);
    void Close();
    bool SendTo(const ListEntry& to, const void* data, size_t size);
    ListEntry local() const;

private:
    void Wait();
    void Drain();

    udp::socket socket_;
    std::vector<unsigned char> buffer_ = std::vector<unsigned char>(65536);
    Handler handler_;
};

udp::endpoint ToEndpoint(const ListEntry& address);
ListEntry FromEndpoint(const udp::endpoint& endpoint);

} // namespace skerrow_master
