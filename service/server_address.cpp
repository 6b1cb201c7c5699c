#include "server_address.h"

#include <arpa/inet.h>

#include <charconv>

#include "core/text/format.h"

namespace skerrow_master {

std::string FormatAddress(const ListEntry& address) {
    const uint32_t octets = OctetsOfAddress(address.addr);
    return fmt::format("{}.{}.{}.{}:{}", octets >> 24, octets >> 16 & 0xFF, octets >> 8 & 0xFF, octets & 0xFF,
                       address.port);
}

bool ParseAddress(std::string_view text, ListEntry* address) {
    size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon > INET_ADDRSTRLEN) {
        return false;
    }
    std::string_view digits = text.substr(colon + 1);
    unsigned port = 0;
    auto [end, result] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    in_addr host{};
    if (digits.empty() || digits.size() > 5 || digits[0] == '+' || result != std::errc() ||
        end != digits.data() + digits.size() || port > 0xFFFF ||
        inet_pton(AF_INET, std::string(text.substr(0, colon)).c_str(), &host) != 1) {
        return false;
    }
    *address = {host.s_addr, static_cast<uint16_t>(port)};
    return true;
}

} // namespace skerrow_master
