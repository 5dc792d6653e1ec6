// The loader movie of a game query: the movie's address and its FlashVars, derived from the query
// text of the game-entry address. Markers are exact and case-sensitive and values are taken as
// they stand, without decoding.
#pragma once

#include "base/TrustedHosts.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kelvo {

inline constexpr std::u16string_view kMainVersionKey = u"&mainVersion=";
inline constexpr std::u16string_view kResourceHostKey = u"&resourceHost=";
// Private message to the game window, from any sender: reload the movie from the stored query.
inline constexpr unsigned kMsgReloadMovie = 0x60D;
// The game window keeps the last query in a fixed array of this many units, terminator included.
inline constexpr std::size_t kGameQueryCapacity = 1500;

// What a movie load gives the control. Without "&mainVersion=" in the query neither FlashVars nor
// a movie is given (the control only plays).
struct GameMoviePlan {
    std::optional<std::u16string> flashVars; // the whole query
    std::optional<std::u16string> movieUrl;  // resource host + "GameLoader_" + main version + ".swf"
};

GameMoviePlan PlanGameMovie(std::u16string_view query);
// The same, where a movie address that `trusted` refuses gives neither FlashVars nor a movie, as a
// query without "&mainVersion=" does; `refusal` then receives the debug line naming its host.
GameMoviePlan PlanGameMovie(std::u16string_view query, const TrustedHosts& trusted, std::u16string& refusal);

// The main version: the text after the first "&mainVersion=" (at any position, the very start
// included) up to the next "&"; empty when no "&" follows. Nothing when the marker is missing.
std::optional<std::u16string> MainVersion(std::u16string_view query);
// The resource host: as the main version, but a marker at position 0 counts as absent, and an
// absent marker gives an empty host (a relative movie address).
std::u16string ResourceHost(std::u16string_view query);

} // namespace kelvo
