// The hosts a publisher lets choose what the launcher runs: where a game entry may complete and
// where the loader movie may come from. Without a list (the default) every address counts, as it
// always has. With one, an address counts only when it is absolute http or https and its host
// and port are those of an entry of the list or of the portal's web host.
//
// Host names compare without case, ports as numbers; a missing port is the scheme's default (80
// for http, 443 for https), in an entry as in an address. Parsers disagree about some addresses
// (a backslash or an "@" in the authority, an empty host, a port that is not a number); those
// never count, so that no reading of them can reach a host the list does not name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

class TrustedHosts {
public:
    // `list`: "host" or "host:port" entries separated by commas (blanks around them ignored); an
    // IPv6 address in brackets. `portalHost` (host[:port]) is trusted too, whenever the list is set.
    TrustedHosts(std::u16string_view list, std::u16string_view portalHost);

    // False for an empty list: nothing is checked.
    bool Restricts() const noexcept { return !m_entries.empty(); }
    bool Trusts(std::u16string_view address) const;

    // The debug line for a refused address: `what` ("game entry", "movie") and the address's host
    // only, never its path or query, which carry the player's session.
    static std::u16string RefusalNote(std::u16string_view what, std::u16string_view address);

private:
    struct Entry {
        std::u16string host; // lowercase
        std::optional<std::uint16_t> port;
    };
    std::vector<Entry> m_entries;
};

// The build's list (KELVO_TRUSTED_HOSTS) and portal (KELVO_PORTAL_HOST).
const TrustedHosts& BuiltInTrustedHosts();

} // namespace kelvo
