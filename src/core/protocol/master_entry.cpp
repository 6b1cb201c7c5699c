#include "core/protocol/master_entry.h"

#include "core/protocol/source_set.h"
#include "core/text/address.h"
#include "core/text/ascii_case.h"
#include "core/text/format.h"

namespace {

constexpr std::u16string_view WEB_SCHEME = u"http://";
constexpr size_t MAX_HOST_LENGTH = 253;
constexpr size_t MAX_LABEL_LENGTH = 63;
// How much of a bad line the message quotes.
constexpr size_t QUOTED_LENGTH = 40;

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool IsHostCharacter(char16_t c) {
    return IsDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'-' || c == u'.';
}

// A host's parts between dots: each 1 to 63 characters, not beginning or ending with a hyphen.
bool HasValidLabels(std::u16string_view host) {
    for (;;) {
        size_t dot = host.find(u'.');
        std::u16string_view label = host.substr(0, dot);
        if (label.empty() || label.size() > MAX_LABEL_LENGTH || label.front() == u'-' || label.back() == u'-') {
            return false;
        }
        if (dot == std::u16string_view::npos) {
            return true;
        }
        host.remove_prefix(dot + 1);
    }
}

MasterFault CheckHost(std::u16string_view host) {
    if (host.empty()) {
        return MasterFault::NoHost;
    }
    for (char16_t c : host) {
        if (!IsHostCharacter(c)) {
            return MasterFault::HostCharacter;
        }
    }
    // No top-level domain is all digits, so a name that ends in a number is meant as an address.
    size_t lastDot = host.rfind(u'.');
    std::u16string_view last = host.substr(lastDot == std::u16string_view::npos ? 0 : lastDot + 1);
    bool numeric = !last.empty();
    for (char16_t c : last) {
        numeric = numeric && IsDigit(c);
    }
    if (numeric) {
        uint32_t addr = 0;
        return ParseDottedQuad(host, &addr) ? MasterFault::None : MasterFault::Address;
    }
    if (host.size() > MAX_HOST_LENGTH) {
        return MasterFault::HostLength;
    }
    return HasValidLabels(host) ? MasterFault::None : MasterFault::HostLabel;
}

bool IsHexDigit(char16_t c) {
    return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// A URL's path and query (RFC 3986's pchar, "/" and "?"): unreserved and sub-delimiting characters, ':' and '@',
// and %XX escapes.
MasterFault CheckPath(std::u16string_view path) {
    if (path.size() > MAX_LIST_PATH_LENGTH) {
        return MasterFault::PathLength;
    }
    constexpr std::u16string_view OTHERS = u"-._~!$&'()*+,;=:@/?";
    for (size_t i = 0; i < path.size(); ++i) {
        char16_t c = path[i];
        if (c == u'%') {
            if (i + 2 >= path.size() || !IsHexDigit(path[i + 1]) || !IsHexDigit(path[i + 2])) {
                return MasterFault::PathCharacter;
            }
            i += 2;
        } else if (!IsDigit(c) && !(c >= u'a' && c <= u'z') && !(c >= u'A' && c <= u'Z') &&
                   OTHERS.find(c) == std::u16string_view::npos) {
            return MasterFault::PathCharacter;
        }
    }
    return MasterFault::None;
}

// The line without spaces and tabs at either end.
std::u16string_view Trimmed(std::u16string_view line) {
    size_t first = line.find_first_not_of(u" \t");
    if (first == std::u16string_view::npos) {
        return {};
    }
    return line.substr(first, line.find_last_not_of(u" \t") - first + 1);
}

std::u16string LineError(size_t number, std::u16string_view line, const char16_t* reason) {
    std::u16string quoted(line.substr(0, QUOTED_LENGTH));
    if (line.size() > QUOTED_LENGTH) {
        // Never half a surrogate pair.
        if (quoted.back() >= 0xD800 && quoted.back() <= 0xDBFF) {
            quoted.pop_back();
        }
        quoted += u"...";
    }
    return fmt::format(u"Line {}: \"{}\" is not a master: {}.", number, quoted, reason);
}

} // namespace

MasterFault ParseMasterEntry(std::u16string_view text, MasterEntry* entry) {
    if (text.empty()) {
        return MasterFault::Empty;
    }
    for (char16_t c : text) {
        if (c <= u' ' || c == 0x7F) {
            return MasterFault::Space;
        }
    }
    MasterKind kind = MasterKind::Udp;
    std::u16string path;
    size_t schemeEnd = text.find(u"://");
    if (schemeEnd != std::u16string_view::npos) {
        if (!EqualsIgnoringAsciiCase(text.substr(0, schemeEnd + 3), WEB_SCHEME)) {
            return MasterFault::Scheme;
        }
        kind = MasterKind::Web;
        text.remove_prefix(schemeEnd + 3);
        // The path and query: none, or the bare "/", is the master web service; anything more, a list URL.
        size_t pathStart = text.find_first_of(u"/?#");
        if (pathStart != std::u16string_view::npos) {
            std::u16string_view rest = text.substr(pathStart);
            text = text.substr(0, pathStart);
            MasterFault pathFault = CheckPath(rest);
            if (pathFault != MasterFault::None) {
                return pathFault;
            }
            if (rest != u"/") {
                kind = MasterKind::WebList;
                path = rest.front() == u'?' ? u"/" + std::u16string(rest) : std::u16string(rest);
            }
        }
    } else if (text.find_first_of(u"/?#") != std::u16string_view::npos) {
        return MasterFault::Path;
    }
    size_t colon = text.find(u':');
    if ((!text.empty() && text.front() == u'[') ||
        (colon != std::u16string_view::npos && text.find(u':', colon + 1) != std::u16string_view::npos)) {
        return MasterFault::Ipv6;
    }
    std::u16string_view host = text.substr(0, colon);
    MasterFault hostFault = CheckHost(host);
    if (hostFault != MasterFault::None) {
        return hostFault;
    }
    uint16_t port = kind == MasterKind::Udp ? UDP_MASTER_PORT : WEB_MASTER_PORT;
    if (colon != std::u16string_view::npos && !ParsePort(text.substr(colon + 1), &port)) {
        return MasterFault::Port;
    }
    *entry = {kind, std::u16string(host), port, std::move(path)};
    return MasterFault::None;
}

const char16_t* MasterFaultText(MasterFault fault) {
    switch (fault) {
    case MasterFault::None:
        return u"";
    case MasterFault::Empty:
        return u"it is empty";
    case MasterFault::Space:
        return u"it contains a space or a control character";
    case MasterFault::Scheme:
        return u"only http:// web masters and HOST[:PORT] UDP masters are supported";
    case MasterFault::Path:
        return u"a classic master is written HOST[:PORT], without a path";
    case MasterFault::PathCharacter:
        return u"a URL's path has only letters, digits, %XX escapes and the characters -._~!$&'()*+,;=:@/?";
    case MasterFault::PathLength:
        return u"the URL's path is longer than 1024 characters";
    case MasterFault::Ipv6:
        return u"IPv6 addresses are not supported";
    case MasterFault::NoHost:
        return u"it names no host";
    case MasterFault::HostCharacter:
        return u"a host name has only letters, digits, hyphens and dots";
    case MasterFault::HostLabel:
        return u"each part of a host name between dots has 1 to 63 characters and neither begins nor ends with a "
               u"hyphen";
    case MasterFault::HostLength:
        return u"the host name is longer than 253 characters";
    case MasterFault::Address:
        return u"a numeric address is four numbers from 0 to 255, such as 192.0.2.1";
    case MasterFault::Port:
        return u"the port is a number from 1 to 65535";
    }
    return u"it cannot be read";
}

std::u16string FormatMasterEntry(const MasterEntry& entry) {
    bool web = entry.kind != MasterKind::Udp;
    std::u16string text = web ? std::u16string(WEB_SCHEME) + entry.host : entry.host;
    if (entry.port != (web ? WEB_MASTER_PORT : UDP_MASTER_PORT)) {
        text += fmt::format(u":{}", entry.port);
    }
    return text + entry.path;
}

bool IsSameMaster(const MasterEntry& a, const MasterEntry& b) {
    return a.kind == b.kind && a.port == b.port && a.path == b.path && EqualsIgnoringAsciiCase(a.host, b.host);
}

bool FollowRedirect(const MasterEntry& from, std::u16string_view location, MasterEntry* to) {
    MasterEntry next = from;
    bool sameHost = !location.empty() && location[0] == u'/' && (location.size() == 1 || location[1] != u'/');
    if (sameHost) {
        if (CheckPath(location) != MasterFault::None) {
            return false;
        }
        next.path = location;
    } else {
        bool http = location.size() >= WEB_SCHEME.size() &&
                    EqualsIgnoringAsciiCase(location.substr(0, WEB_SCHEME.size()), WEB_SCHEME);
        if (!http || ParseMasterEntry(location, &next) != MasterFault::None) {
            return false;
        }
        if (next.path.empty()) {
            next.path = u"/";
        }
    }
    next.kind = MasterKind::WebList;
    *to = std::move(next);
    return true;
}

bool ParseMasterListText(std::u16string_view text, std::vector<MasterEntry>* entries, std::u16string* error) {
    std::vector<MasterEntry> read;
    for (size_t number = 1; !text.empty(); ++number) {
        size_t feed = text.find(u'\n');
        std::u16string_view line = text.substr(0, feed);
        text.remove_prefix(feed == std::u16string_view::npos ? text.size() : feed + 1);
        if (!line.empty() && line.back() == u'\r') {
            line.remove_suffix(1);
        }
        line = Trimmed(line);
        if (line.empty()) {
            continue;
        }
        MasterEntry entry;
        MasterFault fault = ParseMasterEntry(line, &entry);
        if (fault != MasterFault::None) {
            *error = LineError(number, line, MasterFaultText(fault));
            return false;
        }
        bool repeated = false;
        for (const MasterEntry& earlier : read) {
            repeated = repeated || IsSameMaster(earlier, entry);
        }
        if (repeated) {
            continue;
        }
        if (read.size() == MAX_MASTERS) {
            *error = fmt::format(u"Line {}: at most {} masters can be asked.", number, MAX_MASTERS);
            return false;
        }
        read.push_back(std::move(entry));
    }
    *entries = std::move(read);
    return true;
}

std::u16string FormatMasterListText(const std::vector<MasterEntry>& entries) {
    std::u16string text;
    for (const MasterEntry& entry : entries) {
        if (!text.empty()) {
            text += u"\r\n";
        }
        text += FormatMasterEntry(entry);
    }
    return text;
}
