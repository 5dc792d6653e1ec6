#include "flash/core/GameMovie.h"

namespace {

// The value after the marker at `at`, up to the next "&"; empty when none follows, so that a
// value is only ever taken whole.
std::u16string ValueAfter(std::u16string_view query, std::size_t at, std::size_t keyLength) {
    const std::size_t start = at + keyLength;
    const std::size_t end = query.find(u'&', start);
    if (end == std::u16string_view::npos)
        return {};
    return std::u16string(query.substr(start, end - start));
}

} // namespace

std::optional<std::u16string> MainVersion(std::u16string_view query) {
    const std::size_t at = query.find(kMainVersionKey);
    if (at == std::u16string_view::npos)
        return std::nullopt;
    return ValueAfter(query, at, kMainVersionKey.size());
}

std::u16string ResourceHost(std::u16string_view query) {
    const std::size_t at = query.find(kResourceHostKey);
    if (at == std::u16string_view::npos || at == 0)
        return {};
    return ValueAfter(query, at, kResourceHostKey.size());
}

GameMoviePlan PlanGameMovie(std::u16string_view query) {
    GameMoviePlan plan;
    const std::optional<std::u16string> version = MainVersion(query);
    if (!version)
        return plan;
    plan.flashVars = std::u16string(query);
    plan.movieUrl = ResourceHost(query) + u"GameLoader_" + *version + u".swf";
    return plan;
}
