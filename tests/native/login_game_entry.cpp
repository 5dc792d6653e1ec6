// Reading completed addresses of the web view: the placeholder test, the game-entry test, the
// query text and its parameters, and the addresses built from them.
#include "login/GameEntry.h"

#include <gtest/gtest.h>

namespace {

struct ClassifyCase {
    std::u16string address;
    CompletedPage expected;
};

TEST(GameEntry, ClassifiesCompletedAddresses) {
    const ClassifyCase cases[] = {
        {u"res://kelvo.exe/208", CompletedPage::Placeholder},
        {u"res://ieframe.dll/navcancl.htm#http://x/error", CompletedPage::Placeholder}, // never a game entry
        {u"http://h/games/kelvo/enter/error.php?a=1", CompletedPage::GameEntry},
        {u"xerror", CompletedPage::GameEntry},
        {u"error.php?serverid=1", CompletedPage::Other}, // only at position 0
        {u"http://h/Error.php", CompletedPage::Other},   // letter case matters
        {u"http://h/ERROR", CompletedPage::Other},
        {u"http://h/games/kelvo/dlq/", CompletedPage::Other},
        {u"", CompletedPage::Other},
        {u"res:/", CompletedPage::Other},
        {u"RES://kelvo.exe/208", CompletedPage::Other},
    };
    for (const ClassifyCase& c : cases)
        EXPECT_EQ(ClassifyCompletedAddress(c.address), c.expected);
}

TEST(GameEntry, QueryTextIsAfterTheFirstQuestionMarkOrTheWholeAddress) {
    EXPECT_EQ(GameQueryText(u"http://h/error?a=1?b=2"), u"a=1?b=2");
    EXPECT_EQ(GameQueryText(u"http://h/error"), u"http://h/error");
    EXPECT_EQ(GameQueryText(u"http://h/error?"), u"");
}

struct ParameterCase {
    std::u16string query;
    std::optional<std::u16string> serverId;
    std::optional<std::u16string> title;
};

TEST(GameEntry, ParametersAreTakenAsTheyStand) {
    const ParameterCase cases[] = {
        {u"a=1&serverid=12&gameaddress=S1&x=2", u"12", u"S1"},
        {u"a=1&gameaddress=S1&serverid=12", u"", u"S1"}, // no "&" after the value: empty
        {u"serverid=12&x=1", std::nullopt, std::nullopt},
        {u"&serverid=12&x=1", std::nullopt, std::nullopt}, // key at position 0
        {u"a=1&serverid=%31%32&gameaddress=%E4%B8%80&", u"%31%32", u"%E4%B8%80"},
        {u"a=1&serverid=&x", u"", std::nullopt},
        {u"a=1&SERVERID=3&x", std::nullopt, std::nullopt},
        {u"a=1&serverid=1&serverid=2&", u"1", std::nullopt}, // the first occurrence counts
    };
    for (const ParameterCase& c : cases) {
        EXPECT_EQ(QueryParameter(c.query, kServerIdKey), c.serverId);
        EXPECT_EQ(QueryParameter(c.query, kCaptionTitleKey), c.title);
    }
}

TEST(GameEntry, BuildsTheAddresses) {
    EXPECT_EQ(LoginPageAddress(u"127.0.0.1:18601"), u"http://127.0.0.1:18601/games/kelvo/dlq/");
    EXPECT_EQ(ReentryAddress(u"www.example", u"12"),
              u"http://www.example/games/dlq/togame.php?target=kelvo_553&server_id=12&client=2"
              u"&login_game_for_general&refer=");
    EXPECT_EQ(ReentryAddress(u"h", u""), u"http://h/games/dlq/togame.php?target=kelvo_553&server_id=&client=2"
                                         u"&login_game_for_general&refer=");
    EXPECT_EQ(PlaceholderAddress(u"kelvo"), u"res://kelvo.exe/208");
    EXPECT_EQ(PlaceholderAddress(u"kelvo_"), u"res://kelvo_.exe/208");
}

} // namespace
