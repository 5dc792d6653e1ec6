// The movie's calls reaching the game window through the Flash stand-in: repeated reloads giving
// one refresh, the prompt of the next leave question, the maximise toggle; and the lost connection
// asking the question inside the event. Answered No, the movie goes on; answered Yes, the control,
// its wrapper, its view and the window go while the event is still being dispatched (also with
// other calls and a new game entry arriving during the question), and nothing touches them
// afterwards: the wrapper's memory is kept poisoned to show any later write, and the stand-in
// records that it outlived its event.
#include "probes/FlashHostProbe.h"
#include "probes/GameProbe.h"
#include "probes/LoginDialogProbe.h"
#include "game_support.h"
#include "movie_server.h"

#include <algorithm>
#include <vector>

namespace {

using namespace gametest;
using namespace movietest;

std::string Request(const std::string& name, const std::string& arguments = "") {
    return "<invoke name=\"" + name + "\" returntype=\"xml\"><arguments>" + arguments +
           "</arguments></invoke>";
}

std::string Call(const std::string& name, const std::string& arguments = "") {
    return "call " + Request(name, arguments) + "\n";
}

// A wrapper whose memory is kept poisoned after it is deleted.
class GraveyardFlash final : public CShockwaveflash1, public Graveyard<GraveyardFlash> {};

class BridgeFixture : public EntryFixture {
protected:
    void SetUp() override {
        if (!StandinRegistered(kFlashClsid))
            GTEST_SKIP() << "the Flash class id is not registered to the stand-in";
        EntryFixture::SetUp();
    }
    void TearDown() override {
        if (login)
            FlashHostProbe::FlashCtrl(GameProbe::Flash(LoginDialogProbe::Game(*login))).reset();
        EntryFixture::TearDown();
        EXPECT_TRUE(GraveyardFlash::Untouched());
        GraveyardFlash::Free();
    }

    // Enters server 12 with no movie, then plays the script in a control of our own that ends with
    // "show end".
    tarvinGame& Play(const std::string& script) {
        server.SetScript(script + "show end\n");
        Complete(kPortal + L"/games/kelvo/enter/error.php?uid=1&serverid=12&gameaddress=S12&client=2");
        tarvinGame& game = LoginDialogProbe::Game(*login);
        EXPECT_NE(game.m_hWnd, nullptr);
        // Refreshes go to our server: nothing listens on the portal's address here, and the web
        // view's error pages would lead it back there without end.
        LoginDialogProbe::ReentryUrl(*login) = Reentry();
        FlashHostProbe::FlashCtrl(GameProbe::Flash(game)).reset();
        auto flash = std::make_unique<GraveyardFlash>();
        EXPECT_TRUE(flash->Create(&game, ControlPlace(game.m_hWnd), 1001));
        flash->ShowWindow(SW_SHOW);
        flash->LoadMovie(0, server.Root() + L"GameLoader_1001.swf");
        flash->Play();
        FlashHostProbe::FlashCtrl(GameProbe::Flash(game)) = std::move(flash);
        return game;
    }
    std::wstring Reentry() const { return server.Root() + L"games/dlq/togame.php?server_id=12"; }
    int Refreshes() const { return log->Count("navigate " + Utf8(Reentry())); }
    // The stand-in's view inside the control, and a click on one of its buttons, queued.
    HWND View(const tarvinGame& game) const {
        return FlashHostProbe::FlashCtrl(GameProbe::Flash(game))
                   ? ::FindWindowExW(FlashHostProbe::FlashCtrl(GameProbe::Flash(game))->m_hWnd, nullptr,
                                     L"KelvoStandinFlashView", nullptr)
                   : nullptr;
    }
    static bool Click(HWND view, const wchar_t* button) {
        const auto centre =
            reinterpret_cast<LONG_PTR>(::GetPropW(view, (std::wstring(L"kelvo.button.") + button).c_str()));
        if (!centre)
            return false;
        ::PostMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, static_cast<LPARAM>(centre));
        ::PostMessageW(view, WM_LBUTTONUP, 0, static_cast<LPARAM>(centre));
        return true;
    }

    MovieServer server{""};
};

// ---- Calls that act and return ----

struct CallCase {
    const char* name;
    std::string script;
    int refreshes;       // re-entries asked for
    bool toggled;        // the window left its maximised state
    std::wstring prompt; // the next leave question's text; empty: the default
};

// "Are you sure you want to leave the demo?", as the movie sends it.
const std::string kTips =
    "\xE7\xA1\xAE\xE5\xAE\x9A\xE7\xA6\xBB\xE5\xBC\x80\xE6\xBC\x94\xE7\xA4\xBA\xE5\x90\x97?";
const std::wstring kTipsW = L"\u786E\u5B9A\u79BB\u5F00\u6F14\u793A\u5417?";

const CallCase kCallCases[] = {
    {"three reloads 120 ms apart",
     Call("reload") + "wait 120\n" + Call("reload") + "wait 120\n" + Call("reload"), 1, false, L""},
    {"Reload differs in case", Call("Reload"), 0, false, L""},
    {"setReloadTips", Call("setReloadTips", "<string>" + kTips + "</string>"), 0, false, kTipsW},
    {"setReloadTips keeps references", Call("setReloadTips", "<string>a &amp; b</string>"), 0, false,
     L"a &amp; b"},
    {"setWindowMax", Call("setWindowMax"), 0, true, L""},
    {"setWindowMax twice", Call("setWindowMax") + Call("setWindowMax"), 0, false, L""},
};

TEST_F(BridgeFixture, CallsActOnTheGameWindow) {
    for (const CallCase& c : kCallCases) {
        SCOPED_TRACE(c.name);
        const int before = Refreshes();
        const DWORD started = ::GetTickCount();
        tarvinGame& game = Play(c.script);
        ASSERT_TRUE(GameProbe::Maximized(game));
        ASSERT_TRUE(PumpUntil([&] { return log->Count("show end") > 0; }));
        // The refresh runs from the timer, never inside a call: none yet.
        EXPECT_EQ(Refreshes(), before);
        // A refresh that is due is waited for as long as a loaded machine needs; one that is not
        // is given the time it would have taken.
        PumpUntil([&] { return Refreshes() >= before + c.refreshes && c.refreshes > 0; },
                  c.refreshes ? 5000 : 700);
        const DWORD elapsed = ::GetTickCount() - started;
        Pump(300);
        EXPECT_EQ(Refreshes() - before, c.refreshes);
        if (c.refreshes) {
            // The last call comes at least 240 ms after the start and the refresh 200 ms after it.
            // Both bounds hold however slowly this machine runs; a timer kept from the first call
            // or a refresh on the first call would come far sooner. Less a tick of slack.
            EXPECT_GE(elapsed, 420u);
        }
        EXPECT_EQ(!GameProbe::Maximized(game), c.toggled);
        const RECT placed = WindowRect(game.m_hWnd), work = WorkArea();
        EXPECT_EQ(::EqualRect(&placed, &work) != FALSE, GameProbe::Maximized(game));

        BoxAnswerer answer(IDNO);
        game.ConfirmCloseGame();
        EXPECT_EQ(answer.seen.text, c.prompt.empty() ? tarvinGame::kDefaultLeaveGamePrompt : c.prompt);
        ASSERT_NE(game.m_hWnd, nullptr);
        game.DestroyWindow();
    }
}

// ---- The lost connection ----

// What replaces the control while the question is open.
enum class During { Nothing, Entry, ReloadMessage };

struct LeaveCase {
    const char* name;
    bool fromButton; // the view's button, else a script call
    int answer;
    bool callsDuringQuestion; // setWindowMax and reload from the view while the question is open
    During replace;           // then a new game entry or message 1549, either replacing the control
};

const LeaveCase kLeaveCases[] = {
    {"script, No", false, IDNO, false, During::Nothing},
    {"script, Yes", false, IDYES, false, During::Nothing},
    {"button, Yes", true, IDYES, false, During::Nothing},
    {"button, No, calls during the question", true, IDNO, true, During::Nothing},
    {"script, Yes, calls and a new entry during the question", false, IDYES, true, During::Entry},
    {"button, Yes, the reload message during the question", true, IDYES, false, During::ReloadMessage},
};

TEST_F(BridgeFixture, DisconnectionAsksInsideTheEventAndYesEndsTheGameSafely) {
    for (const LeaveCase& c : kLeaveCases) {
        SCOPED_TRACE(c.name);
        tarvinGame& game = Play(c.fromButton ? std::string("show ready\n")
                                             : "wait 100\n" + Call("disconnection") + "show after\n");
        const HWND window = game.m_hWnd;
        auto* wrapper = FlashHostProbe::FlashCtrl(GameProbe::Flash(game)).get();
        HWND view = nullptr;
        ASSERT_TRUE(PumpUntil([&] {
            view = View(game);
            return view && ::GetPropW(view, L"kelvo.button.disconnection");
        }));
        const std::size_t buried = GraveyardFlash::Buried();
        const int destroyed = log->Count("flash destroyed");
        const int returnedBefore = log->Count("FlashCall returned"), afterBefore = log->Count("show after");
        const int refreshes = Refreshes();

        int returnedWhenAsked = -1, stage = 0;
        bool maximizedDuring = true;
        BoxAnswerer answer(c.answer, [&](HWND) {
            if (returnedWhenAsked < 0)
                returnedWhenAsked = log->Count("FlashCall returned");
            if (stage == 0 &&
                (!c.callsDuringQuestion || (Click(view, L"setWindowMax") && Click(view, L"reload"))))
                stage = 1;
            // The reload timer fires inside the question's loop too.
            if (stage == 1 && (!c.callsDuringQuestion || Refreshes() > refreshes)) {
                maximizedDuring = GameProbe::Maximized(game);
                stage = 2;
                if (c.replace == During::Entry)
                    Complete(kPortal +
                             L"/games/kelvo/enter/error.php?uid=1&serverid=12&gameaddress=S12&client=2");
                if (c.replace == During::ReloadMessage) {
                    const int created = log->Count("flash created");
                    game.PostMessageW(1549);
                    PumpUntil([&] { return log->Count("flash created") > created; });
                }
            }
            return stage == 2;
        });
        if (c.fromButton)
            ASSERT_TRUE(Click(view, L"disconnection"));
        // The question runs inside the dispatch of the call; once it is seen here, it is answered.
        ASSERT_TRUE(PumpUntil([&] { return answer.seen.count > 0; }));
        Pump(200);

        EXPECT_EQ(answer.seen.count, 1);
        EXPECT_EQ(answer.seen.text, tarvinGame::kDefaultLeaveGamePrompt);
        EXPECT_EQ(answer.seen.owner, window);
        EXPECT_EQ(returnedWhenAsked, returnedBefore) << "the question comes while the event is dispatched";
        if (c.callsDuringQuestion) {
            EXPECT_FALSE(maximizedDuring);
            EXPECT_EQ(Refreshes(), refreshes + 1);
        }
        const std::vector<std::string> lines = log->Utf8Lines();
        if (c.answer == IDNO) {
            EXPECT_EQ(game.m_hWnd, window);
            EXPECT_EQ(FlashHostProbe::FlashCtrl(GameProbe::Flash(game)).get(), wrapper);
            EXPECT_TRUE(::IsWindow(view));
            EXPECT_EQ(log->Count("show after") - afterBefore, c.fromButton ? 0 : 1);
            EXPECT_EQ(log->Count("flash destroyed"), destroyed);
            game.DestroyWindow();
            continue;
        }
        EXPECT_EQ(game.m_hWnd, nullptr);
        EXPECT_FALSE(::IsWindow(window));
        EXPECT_FALSE(::IsWindow(view));
        EXPECT_FALSE(FlashHostProbe::FlashCtrl(GameProbe::Flash(game)));
        EXPECT_TRUE(login->IsWindowVisible());
        EXPECT_TRUE(frame.IsWindowVisible());
        // The control raising the event lived until it returned, and went then; its wrapper went
        // inside the event, and nothing wrote to it afterwards.
        std::size_t returned = lines.size();
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i] == "FlashCall returned")
                returned = i;
        ASSERT_LT(returned + 1, lines.size());
        EXPECT_EQ(lines[returned + 1], "flash destroyed");
        EXPECT_EQ(log->Count("show after"), afterBefore);
        EXPECT_EQ(GraveyardFlash::Buried(), buried + 1);
        EXPECT_TRUE(GraveyardFlash::Untouched());
    }
}

} // namespace

// ---- A control replaced or removed inside one of the load's own calls ----

// The calls of a load in their order, as the stand-in records them, for a query with a movie.
std::vector<std::string> LoadCalls(const std::string& query, const std::string& movie) {
    return {"put Menu false",
            "put AllowFullScreen true",
            "put AllowScriptAccess always",
            "put WMode direct",
            "put BackgroundColor 0",
            "put FlashVars " + query,
            "LoadMovie 0 " + movie,
            "Play"};
}

TEST_F(BridgeFixture, ControlReplacedOrRemovedInsideALoadCallIsNeverCalledAgain) {
    // The movie reports its lost connection inside each call of the load in turn (as a player that
    // runs script during a call may); the question is answered Yes, which removes the control and
    // the window, or a reload message replaces the control while it is open and it is answered No.
    const DISPID kDispids[] = {135, 202, 171, 133, 123, 170, 142, 112};
    for (const bool replace : {false, true}) {
        for (std::size_t k = 0; k < std::size(kDispids); ++k) {
            SCOPED_TRACE(std::string(replace ? "replaced" : "removed") + " inside call " + std::to_string(k));
            Complete(kPortal + L"/games/kelvo/enter/error.php?uid=1&serverid=12&gameaddress=S12&client=2");
            tarvinGame& game = LoginDialogProbe::Game(*login);
            ASSERT_NE(game.m_hWnd, nullptr);
            LoginDialogProbe::ReentryUrl(*login) = Reentry();
            const std::wstring query =
                L"uid=1&serverid=12&mainVersion=1001&resourceHost=" + server.Root() + L"&client=2";
            const std::vector<std::string> calls =
                LoadCalls(Utf8(query), Utf8(server.Root() + L"GameLoader_1001.swf"));
            const std::size_t before = log->Utf8Lines().size();
            ::SetEnvironmentVariableW(
                L"KELVO_STANDIN_FLASHCALL_DURING",
                (std::to_wstring(kDispids[k]) + L" " + FromUtf8(Request("disconnection"))).c_str());
            BoxAnswerer answer(replace ? IDNO : IDYES, [&](HWND) {
                if (!replace)
                    return true;
                const int created = log->Count("flash created");
                game.PostMessageW(1549);
                return PumpUntil([&] { return log->Count("flash created") > created; });
            });
            game.LoadGameMovie(query);
            Pump(100);
            ::SetEnvironmentVariableW(L"KELVO_STANDIN_FLASHCALL_DURING", nullptr);

            EXPECT_EQ(answer.seen.count, 1);
            // The old control got the calls up to the interrupted one, which it finished after the
            // event; the new one got its whole load; nothing else reached either.
            std::vector<std::string> expected(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(k));
            if (replace)
                expected.insert(expected.end(), calls.begin(), calls.end());
            expected.push_back(calls[k]);
            std::vector<std::string> seen;
            const std::vector<std::string> lines = log->Utf8Lines();
            for (std::size_t i = before; i < lines.size(); ++i)
                if (std::find(calls.begin(), calls.end(), lines[i]) != calls.end())
                    seen.push_back(lines[i]);
            EXPECT_EQ(seen, expected);
            EXPECT_EQ(game.m_hWnd != nullptr, replace);
            EXPECT_EQ(FlashHostProbe::FlashCtrl(GameProbe::Flash(game)) != nullptr, replace);
            if (game.m_hWnd)
                game.DestroyWindow();
            Pump(50);
        }
    }
}
