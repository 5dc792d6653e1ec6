// The loader movie's address and FlashVars from the game query.
#include "flash/core/GameMoviePlan.h"

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

struct MovieCase {
    const char* what;
    std::u16string query;
    std::optional<std::u16string> movieUrl; // FlashVars are the whole query whenever a movie is loaded
};

TEST(GameMovie, AddressAndFlashVarsFromTheQuery) {
    const MovieCase cases[] = {
        {"worked example", u"a=1&mainVersion=20&resourceHost=R/&b=2", u"R/GameLoader_20.swf"},
        {"no main version", u"a=1&resourceHost=R/&b=2", std::nullopt},
        {"empty query", u"", std::nullopt},
        {"main version last", u"a=1&resourceHost=R/&mainVersion=20", u"R/GameLoader_.swf"},
        {"main version empty", u"a=1&mainVersion=&resourceHost=R/&b", u"R/GameLoader_.swf"},
        {"main version marker at the start counts", u"&mainVersion=7&resourceHost=R/&x",
         u"R/GameLoader_7.swf"},
        {"no resource host", u"a=1&mainVersion=20&b=2", u"GameLoader_20.swf"},
        {"resource host at the start is absent", u"&resourceHost=R/&mainVersion=20&b", u"GameLoader_20.swf"},
        {"resource host last", u"a=1&mainVersion=20&resourceHost=R/", u"GameLoader_20.swf"},
        {"percent escapes kept", u"a=1&mainVersion=2%30&resourceHost=http%3A//h/&b",
         u"http%3A//h/GameLoader_2%30.swf"},
        {"first of two markers", u"a&mainVersion=1&mainVersion=2&resourceHost=A/&resourceHost=B/&",
         u"A/GameLoader_1.swf"},
        {"letter case matters", u"a=1&mainversion=20&ResourceHost=R/&b", std::nullopt},
        {"without the leading ampersand", u"mainVersion=20&resourceHost=R/&b", std::nullopt},
        {"portal entry",
         u"uid=1001&serverid=12&gameaddress=S12&mainVersion=1001&resourceHost=http://127.0.0.1:18601/"
         u"front_resource/kelvo/&client=2",
         u"http://127.0.0.1:18601/front_resource/kelvo/GameLoader_1001.swf"},
    };
    for (const MovieCase& c : cases) {
        SCOPED_TRACE(c.what);
        const GameMoviePlan plan = PlanGameMovie(c.query);
        EXPECT_EQ(plan.movieUrl, c.movieUrl);
        if (c.movieUrl)
            EXPECT_EQ(plan.flashVars, c.query);
        else
            EXPECT_EQ(plan.flashVars, std::nullopt);
    }
}

TEST(GameMovie, OnlyATrustedHostGivesTheMovie) {
    const TrustedHosts anyHost(u"", u"p:1");
    const TrustedHosts listed(u"127.0.0.1", u"p:1");
    const struct {
        const TrustedHosts& hosts;
        std::u16string query;
        bool loaded;
        std::u16string refusal;
    } cases[] = {
        {anyHost, u"a&mainVersion=1&resourceHost=http://127.0.0.2/r/&s=SECRET", true, u""},
        {anyHost, u"a&mainVersion=1&s=SECRET", true, u""},
        {listed, u"a&mainVersion=1&resourceHost=http://127.0.0.1/r/&s=SECRET", true, u""},
        {listed, u"a&mainVersion=1&resourceHost=http://127.0.0.2/r/&s=SECRET", false,
         u"Trusted hosts: refused the movie from http://127.0.0.2\n"},
        {listed, u"a&mainVersion=1&s=SECRET", false,
         u"Trusted hosts: refused the movie from no host (not an absolute http or https address)\n"},
        {listed, u"a&s=SECRET", false, u""},
    };
    for (const auto& c : cases) {
        std::u16string refusal = u"old";
        const GameMoviePlan plan = PlanGameMovie(c.query, c.hosts, refusal);
        EXPECT_EQ(plan.movieUrl.has_value(), c.loaded) << std::string(c.query.begin(), c.query.end());
        EXPECT_EQ(plan.flashVars.has_value(), c.loaded);
        EXPECT_EQ(refusal, c.refusal);
    }
}

TEST(GameMovie, LongQueryIsGivenWhole) {
    // Longer than the game window's fixed copy: the derivation works on the whole text.
    const std::u16string tail(kGameQueryCapacity * 2, u'x');
    const std::u16string query = u"a=1&mainVersion=9&resourceHost=R/&v=" + tail;
    const GameMoviePlan plan = PlanGameMovie(query);
    EXPECT_EQ(plan.flashVars, query);
    EXPECT_EQ(plan.movieUrl, u"R/GameLoader_9.swf");
}

} // namespace
