// Reading completed addresses of the web view: the placeholder test, the game-entry test, the
// query text and its parameters, and the addresses built from them.
#include "login/core/GameEntry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kelvo;

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

// ---- The hand-off ----

std::string Ascii(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

// Records each step as one line, and answers the two questions the hand-off asks.
class StepRecorder final : public GameEntrySteps {
public:
    StepRecorder(bool hasWindow, WebViewReset reset, bool creatable)
        : m_hasWindow(hasWindow), m_reset(reset), m_creatable(creatable) {}
    std::vector<std::string> lines;

    void Navigate(const std::u16string& address) override { lines.push_back("navigate " + Ascii(address)); }
    void ScheduleLoginPageRetry(unsigned delayMs) override {
        lines.push_back("retry in " + std::to_string(delayMs));
    }
    void CancelLoginPageRetry() override { lines.push_back("cancel retry"); }
    WebViewReset ClearBeforeUnload() override {
        lines.push_back("clear");
        return m_reset;
    }
    void HideLoginSide() override { lines.push_back("hide login"); }
    void ShowLoginSide() override { lines.push_back("show login"); }
    bool HasGameWindow() override { return m_hasWindow; }
    bool CreateGameWindow() override {
        lines.push_back("create");
        m_hasWindow = m_creatable;
        return m_creatable;
    }
    void ShowGameWindow() override { lines.push_back("show"); }
    void SetReentryAddress(const std::u16string& address) override {
        lines.push_back("reentry " + Ascii(address));
    }
    void SetCaptionTitle(const std::u16string& title) override { lines.push_back("title " + Ascii(title)); }
    void OpenMaximized() override { lines.push_back("maximize"); }
    void LoadGameMovie(const std::u16string& query) override { lines.push_back("load " + Ascii(query)); }
    void Note(const std::u16string& line) override { lines.push_back("note " + Ascii(line)); }

private:
    bool m_hasWindow;
    WebViewReset m_reset;
    bool m_creatable;
};

struct HandOffCase {
    const char* name;
    std::u16string address;
    bool hasWindow;
    WebViewReset reset;
    std::vector<std::string> expected;
    bool creatable = true;
    const char16_t* trustedHosts = u""; // besides the portal, p:1
};

constexpr char kLogin[] = "navigate http://p:1/games/kelvo/dlq/";
constexpr char kReentry[] = "reentry http://p:1/games/dlq/togame.php?target=kelvo_553&server_id=";

TEST(GameEntryHandOff, StepsInTheirOrder) {
    const auto reentry = [](const std::string& id) {
        return kReentry + id + "&client=2&login_game_for_general&refer=";
    };
    const HandOffCase cases[] = {
        {"placeholder", u"res://kelvo.exe/208", false, WebViewReset::HandlerCleared, {kLogin}},
        {"control's error page with error in it",
         u"res://ieframe.dll/navcancl.htm#http://h/error?a=1&serverid=1&",
         false,
         WebViewReset::HandlerCleared,
         {kLogin}},
        {"login page", u"http://p:1/games/kelvo/dlq/", false, WebViewReset::HandlerCleared, {}},
        {"error at position 0", u"error?a=1&serverid=12&x", false, WebViewReset::HandlerCleared, {}},
        {"Error in another case",
         u"http://h/Error?a=1&serverid=12&x",
         false,
         WebViewReset::HandlerCleared,
         {}},
        {"ERROR", u"http://h/ERROR?a=1&serverid=12&x", true, WebViewReset::HandlerCleared, {}},
        {"first entry",
         u"http://h/error.php?a=1&serverid=12&gameaddress=S1&x=2",
         false,
         WebViewReset::HandlerCleared,
         {"clear", kLogin, "hide login", "create", "show", reentry("12"), "title S1", "maximize",
          "load a=1&serverid=12&gameaddress=S1&x=2"}},
        {"server id last: empty",
         u"http://h/error.php?a=1&gameaddress=S1&serverid=12",
         false,
         WebViewReset::HandlerCleared,
         {"clear", kLogin, "hide login", "create", "show", reentry(""), "title S1", "maximize",
          "load a=1&gameaddress=S1&serverid=12"}},
        {"second entry reuses the window",
         u"http://h/error.php?a=1&serverid=13&gameaddress=S2&x=2",
         true,
         WebViewReset::HandlerCleared,
         {"clear", kLogin, "hide login", "show", reentry("13"), "title S2", "maximize",
          "load a=1&serverid=13&gameaddress=S2&x=2"}},
        {"keys missing",
         u"http://h/error.php?serverid=12&x=1",
         true,
         WebViewReset::HandlerCleared,
         {"clear", kLogin, "hide login", "show", "maximize", "load serverid=12&x=1"}},
        {"keys at position 0",
         u"http://h/error.php?&serverid=12&gameaddress=S1&",
         true,
         WebViewReset::HandlerCleared,
         {"clear", kLogin, "hide login", "show", "title S1", "maximize",
          "load &serverid=12&gameaddress=S1&"}},
        {"no question mark: the whole address is the query",
         u"http://h/error&serverid=7&gameaddress=T&",
         true,
         WebViewReset::HandlerCleared,
         {"clear", kLogin, "hide login", "show", reentry("7"), "title T", "maximize",
          "load http://h/error&serverid=7&gameaddress=T&"}},
        {"percent escapes kept",
         u"http://h/error?a=1&serverid=%31%32&gameaddress=%E4%B8%80&",
         true,
         WebViewReset::HandlerCleared,
         {"clear", kLogin, "hide login", "show", reentry("%31%32"), "title %E4%B8%80", "maximize",
          "load a=1&serverid=%31%32&gameaddress=%E4%B8%80&"}},
        {"no document: no navigation, the rest runs",
         u"http://h/error?a=1&serverid=12&x",
         false,
         WebViewReset::NoDocument,
         {"clear", "hide login", "create", "show", reentry("12"), "maximize", "load a=1&serverid=12&x"}},
        {"no body element: the navigation still runs",
         u"http://h/error?a=1&serverid=12&x",
         false,
         WebViewReset::HandlerKept,
         {"clear", kLogin, "hide login", "create", "show", reentry("12"), "maximize",
          "load a=1&serverid=12&x"}},
        {"no game window could be made: the login side comes back, nothing else runs",
         u"http://h/error.php?a=1&serverid=12&gameaddress=S1&x=2",
         false,
         WebViewReset::HandlerCleared,
         {"clear", kLogin, "hide login", "create", "show login"},
         false},
        {"a trusted host's entry",
         u"HTTP://H:80/error.php?a=1&serverid=12&x",
         true,
         WebViewReset::HandlerCleared,
         {"clear", kLogin, "hide login", "show", reentry("12"), "maximize", "load a=1&serverid=12&x"},
         true,
         u"h"},
        {"the portal's entry",
         u"http://p:1/error?a",
         true,
         WebViewReset::HandlerCleared,
         {"clear", kLogin, "hide login", "show", "maximize", "load a"},
         true,
         u"h"},
        {"an untrusted host's entry is left alone",
         u"http://h:81/error.php?a=1&serverid=12&session=S",
         true,
         WebViewReset::HandlerCleared,
         {"note Trusted hosts: refused the game entry from http://h:81\n"},
         true,
         u"h"},
        {"an entry that is no http address",
         u"res:/error?a",
         true,
         WebViewReset::HandlerCleared,
         {"note Trusted hosts: refused the game entry from no host (not an absolute http or https "
          "address)\n"},
         true,
         u"h"},
        {"the placeholder stays the placeholder",
         u"res://kelvo.exe/208?error",
         false,
         WebViewReset::HandlerCleared,
         {kLogin},
         true,
         u"h"},
    };
    for (const HandOffCase& c : cases) {
        StepRecorder steps(c.hasWindow, c.reset, c.creatable);
        LoginPageRetry retry;
        HandleCompletedAddress(c.address, u"p:1", TrustedHosts(c.trustedHosts, u"p:1"), retry, steps);
        EXPECT_EQ(steps.lines, c.expected) << c.name;
    }
}

// ---- Asking for the login page again ----

// One event per entry: an address completes, (kDue) the retry's delay has passed, or (kReenter) the
// game window enters again.
constexpr char16_t kDue[] = u"<due>";
constexpr char16_t kReenter[] = u"<reenter>";
constexpr char16_t kError[] = u"res://ieframe.dll/navcancl.htm#http://p:1/games/kelvo/dlq/";

struct RetryCase {
    const char* name;
    std::vector<std::u16string> events;
    std::vector<std::string> expected;
};

TEST(GameEntryHandOff, LoginPageRetriesBackOffAndStartAgainAfterAPage) {
    const auto failures = [](int n) {
        std::vector<std::u16string> events{u"res://kelvo.exe/208"};
        for (int i = 0; i < n; ++i) {
            events.push_back(kError);
            events.push_back(kDue);
        }
        return events;
    };
    const RetryCase cases[] = {
        {"portal unreachable: at once after the placeholder, then doubling up to the cap",
         failures(9),
         {kLogin, "retry in 500", kLogin, "retry in 1000", kLogin, "retry in 2000", kLogin, "retry in 4000",
          kLogin, "retry in 8000", kLogin, "retry in 16000", kLogin, "retry in 30000", kLogin,
          "retry in 30000", kLogin, "retry in 30000", kLogin}},
        {"a page while a retry waits cancels it; the next failure starts from the beginning",
         {u"res://kelvo.exe/208", kError, kDue, kError, u"http://p:1/games/kelvo/dlq/", kDue, kError, kDue},
         {kLogin, "retry in 500", kLogin, "retry in 1000", "cancel retry", "retry in 500", kLogin}},
        {"a page with nothing waiting cancels nothing; a failure after it waits",
         {u"res://kelvo.exe/208", u"http://p:1/games/kelvo/dlq/", kError},
         {kLogin, "retry in 500"}},
        {"a failure while a retry waits replaces it with the longer wait",
         {u"res://kelvo.exe/208", kError, kError, kDue, kDue},
         {kLogin, "retry in 500", "retry in 1000", kLogin}},
        {"a game entry cancels the waiting retry before its own steps",
         {u"res://kelvo.exe/208", kError, u"http://h/error?a=1&x", kDue},
         {kLogin, "retry in 500", "cancel retry", "clear", "hide login", "show", "maximize", "load a=1&x"}},
        {"the first page of the control's own is the placeholder, whatever its address",
         {kError, kError},
         {kLogin, "retry in 500"}},
        {"no retry waiting: the delay passing asks for nothing", {kDue}, {}},
        {"a re-entry cancels the waiting retry, which then asks for nothing",
         {u"res://kelvo.exe/208", kError, kReenter, kDue, kError, kDue},
         {kLogin, "retry in 500", "cancel retry", "navigate http://p:1/r", "retry in 1000", kLogin}},
        {"a re-entry with no retry waiting cancels nothing",
         {u"res://kelvo.exe/208", kReenter},
         {kLogin, "navigate http://p:1/r"}},
    };
    for (const RetryCase& c : cases) {
        StepRecorder steps(true, WebViewReset::NoDocument, true);
        LoginPageRetry retry;
        for (const std::u16string& event : c.events) {
            if (event == kDue)
                HandleLoginPageRetryDue(u"p:1", retry, steps);
            else if (event == kReenter)
                HandleReentry(u"http://p:1/r", retry, steps);
            else
                HandleCompletedAddress(event, u"p:1", TrustedHosts(u"", u"p:1"), retry, steps);
        }
        EXPECT_EQ(steps.lines, c.expected) << c.name;
    }
}

} // namespace
