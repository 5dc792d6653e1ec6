#include "base/TrustedHosts.h"

#include "BuildConfig.h"

namespace kelvo {

namespace {

constexpr auto npos = std::u16string_view::npos;

std::u16string Lowered(std::u16string_view text) {
    std::u16string lower(text);
    for (char16_t& c : lower) {
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return lower;
}

// The scheme and the authority of "scheme://authority/...": the authority ends at the first "/",
// "?" or "#". Nothing without "://" (a relative address, one without a scheme).
struct SchemeAuthority {
    std::u16string_view scheme;
    std::u16string_view authority;
};
std::optional<SchemeAuthority> SplitAddress(std::u16string_view address) {
    const std::size_t separator = address.find(u"://");
    if (separator == npos)
        return std::nullopt;
    const std::u16string_view rest = address.substr(separator + 3);
    return SchemeAuthority{address.substr(0, separator), rest.substr(0, rest.find_first_of(u"/?#"))};
}

struct HostPort {
    std::u16string_view host;
    std::optional<std::uint16_t> port; // nothing: the scheme's default
};

// "host", "host:port" or "[IPv6]" with an optional port; an empty port is the default one. Nothing
// for an empty host, a port that is not a number up to 65535, or a character no host name has.
std::optional<HostPort> ParseHostPort(std::u16string_view text) {
    for (const char16_t c : text) {
        if (c <= u' ' || c == 0x7F || c == u'\\' || c == u'@')
            return std::nullopt;
    }
    HostPort result;
    std::u16string_view rest;
    if (!text.empty() && text.front() == u'[') {
        const std::size_t close = text.find(u']');
        if (close == npos || close < 2)
            return std::nullopt;
        result.host = text.substr(0, close + 1);
        rest = text.substr(close + 1);
    } else {
        const std::size_t colon = text.find(u':');
        result.host = text.substr(0, colon);
        if (colon != npos)
            rest = text.substr(colon);
    }
    if (result.host.empty())
        return std::nullopt;
    if (rest.empty())
        return result;
    if (rest.front() != u':')
        return std::nullopt;
    rest.remove_prefix(1);
    if (rest.empty())
        return result;
    std::uint32_t port = 0;
    for (const char16_t c : rest) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        port = port * 10 + static_cast<std::uint32_t>(c - u'0');
        if (port > 65535)
            return std::nullopt;
    }
    result.port = static_cast<std::uint16_t>(port);
    return result;
}

std::u16string_view Trimmed(std::u16string_view text) {
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

TrustedHosts::TrustedHosts(std::u16string_view list, std::u16string_view portalHost) {
    const auto add = [this](std::u16string_view text) {
        if (const auto entry = ParseHostPort(Trimmed(text)))
            m_entries.push_back({Lowered(entry->host), entry->port});
    };
    while (!list.empty()) {
        const std::size_t comma = list.find(u',');
        add(list.substr(0, comma));
        list.remove_prefix(comma == npos ? list.size() : comma + 1);
    }
    if (!m_entries.empty())
        add(portalHost);
}

bool TrustedHosts::Trusts(std::u16string_view address) const {
    if (!Restricts())
        return true;
    const auto parts = SplitAddress(address);
    if (!parts)
        return false;
    const std::u16string scheme = Lowered(parts->scheme);
    std::uint16_t defaultPort = 0;
    if (scheme == u"http")
        defaultPort = 80;
    else if (scheme == u"https")
        defaultPort = 443;
    else
        return false;
    const auto hostPort = ParseHostPort(parts->authority);
    if (!hostPort)
        return false;
    const std::u16string host = Lowered(hostPort->host);
    const std::uint16_t port = hostPort->port.value_or(defaultPort);
    for (const Entry& entry : m_entries) {
        if (entry.host == host && entry.port.value_or(defaultPort) == port)
            return true;
    }
    return false;
}

std::u16string TrustedHosts::RefusalNote(std::u16string_view what, std::u16string_view address) {
    const auto parts = SplitAddress(address);
    std::u16string host = u"no host (not an absolute http or https address)";
    if (parts) {
        // Whatever a user name or password before an "@" holds stays out of the line.
        std::u16string_view authority = parts->authority;
        if (const std::size_t at = authority.rfind(u'@'); at != npos)
            authority.remove_prefix(at + 1);
        // A malformed address may run on into parameters without a "/" or "?" before them.
        authority = authority.substr(0, authority.find_first_of(u"\\&=;"));
        host = std::u16string(parts->scheme) + u"://" + std::u16string(authority);
    }
    return u"Trusted hosts: refused the " + std::u16string(what) + u" from " + host + u"\n";
}

const TrustedHosts& BuiltInTrustedHosts() {
    static const TrustedHosts hosts(KELVO_TRUSTED_HOSTS, KELVO_PORTAL_HOST);
    return hosts;
}

} // namespace kelvo
