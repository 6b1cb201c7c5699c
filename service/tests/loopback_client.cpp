#include "loopback_client.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace skerrow_master {

sockaddr_in ToSockaddr(const ListEntry& address) {
    sockaddr_in out{};
    out.sin_family = AF_INET;
    out.sin_addr.s_addr = address.addr;
    out.sin_port = htons(address.port);
    return out;
}

bool SendFrom(int fd, uint32_t source, const ListEntry& to, const std::string& datagram) {
    sockaddr_in address = ToSockaddr(to);
    iovec data{const_cast<char*>(datagram.data()), datagram.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &address;
    message.msg_namelen = sizeof address;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst.s_addr = htonl(source); // the source address of what is sent
    std::memcpy(CMSG_DATA(header), &info, sizeof info);
    return sendmsg(fd, &message, 0) >= 0;
}

int ConnectFrom(const ListEntry& server, uint32_t source) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local = ToSockaddr(FromOctets(source, 0));
    sockaddr_in address = ToSockaddr(server);
    if (fd >= 0 && (source == 0 || bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0) &&
        connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        return fd;
    }
    if (fd >= 0) {
        close(fd);
    }
    return -1;
}

HttpReply HttpExchange(const ListEntry& server, const std::string& request, uint32_t source) {
    int fd = ConnectFrom(server, source);
    std::string response;
    if (fd >= 0 && send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        timeval wait{10, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        char buffer[65536];
        ssize_t count = 0;
        while ((count = recv(fd, buffer, sizeof buffer, 0)) > 0) {
            response.append(buffer, static_cast<size_t>(count));
        }
    }
    if (fd >= 0) {
        close(fd);
    }
    HttpReply reply;
    size_t end = response.find("\r\n\r\n");
    if ((response.compare(0, 9, "HTTP/1.1 ") == 0 || response.compare(0, 9, "HTTP/1.0 ") == 0) &&
        end != std::string::npos) {
        reply.status = std::stoi(response.substr(9, 3));
        reply.body = response.substr(end + 4);
    }
    return reply;
}

HttpReply HttpGet(const ListEntry& server, const std::string& target, uint32_t source) {
    return HttpExchange(server, "GET " + target + " HTTP/1.1\r\nHost: master\r\nConnection: close\r\n\r\n", source);
}

} // namespace skerrow_master
