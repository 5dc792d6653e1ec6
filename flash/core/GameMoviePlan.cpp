#include "flash/core/GameMoviePlan.h"

#include "base/QueryParameter.h"

namespace kelvo {

std::optional<std::u16string> MainVersion(std::u16string_view query) {
    return QueryParameter(query, kMainVersionKey, KeyAtStart::Counts);
}

std::u16string ResourceHost(std::u16string_view query) {
    return QueryParameter(query, kResourceHostKey).value_or(std::u16string());
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

GameMoviePlan PlanGameMovie(std::u16string_view query, const TrustedHosts& trusted, std::u16string& refusal) {
    GameMoviePlan plan = PlanGameMovie(query);
    refusal.clear();
    if (plan.movieUrl && !trusted.Trusts(*plan.movieUrl)) {
        refusal = TrustedHosts::RefusalNote(u"movie", *plan.movieUrl);
        return {};
    }
    return plan;
}

} // namespace kelvo
