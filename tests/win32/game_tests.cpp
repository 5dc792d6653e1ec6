// The game window under Wine: its template and pictures, hit-test answers to real WM_NCHITTEST
// messages, the minimum tracking size, maximise and restore and the maximised-flag rule, the game
// control's layout, caption-button tracking driven by non-client mouse messages, and what the
// frame looks like on screen.
#include "game/win/tarvinGame.h"

#include "framework/CWinApp.h"

#include "probes/GameCaptionProbe.h"
#include "probes/GameProbe.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace kelvo;

namespace {

std::string Describe(const RECT& r) {
    char text[80];
    std::snprintf(text, sizeof(text), "(%ld, %ld)-(%ld, %ld)", r.left, r.top, r.right, r.bottom);
    return text;
}

class GameFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(game.Create(tarvinGame::IDD));
        Place(100, 80, 800, 600);
    }
    void TearDown() override { game.DestroyWindow(); }

    void Place(int x, int y, int w, int h) {
        ::SetWindowPos(game.m_hWnd, HWND_TOP, x, y, w, h, SWP_NOACTIVATE);
    }
    LRESULT HitTest(int x, int y) { return game.SendMessageW(WM_NCHITTEST, 0, MAKELPARAM(x, y)); }
    // Non-client mouse messages at a window point, carried in screen coordinates.
    void NcMessage(UINT msg, int x, int y, WPARAM hit = HTCAPTION) {
        const RECT r = WindowRect(game.m_hWnd);
        game.SendMessageW(msg, hit, MAKELPARAM(r.left + x, r.top + y));
    }
    void Hover(int x, int y) { NcMessage(WM_NCMOUSEMOVE, x, y); }
    // A press without a drag: the press handler does not look at the hit code, and a client code
    // keeps default processing from entering the system's move loop.
    void Press(int x, int y) { NcMessage(WM_NCLBUTTONDOWN, x, y, HTCLIENT); }

    tarvinGame game;
};

TEST_F(GameFixture, BuiltFromItsTemplateWithoutASystemFrame) {
    EXPECT_EQ(game.GetStyle() & (WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_SYSMENU), DWORD{WS_POPUP});
    EXPECT_TRUE(game.GetExStyle() & WS_EX_APPWINDOW);
    EXPECT_FALSE(game.IsWindowVisible());
    wchar_t title[16] = {};
    ::GetWindowTextW(game.m_hWnd, title, 16);
    EXPECT_STREQ(title, L"Kelvo");

    RECT client{};
    ::GetClientRect(game.m_hWnd, &client);
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);

    EXPECT_EQ(GameCaptionProbe::BorderWidth(GameProbe::Caption(game)), 3);
    EXPECT_EQ(GameCaptionProbe::CaptionHeight(GameProbe::Caption(game)), 29);
    EXPECT_EQ(GameCaptionProbe::TitleColour(GameProbe::Caption(game)), RGB(255, 255, 255));
    LOGFONTW font{};
    ASSERT_TRUE(::GetObjectW(GameCaptionProbe::TitleFont(GameProbe::Caption(game)), sizeof(font), &font));
    EXPECT_EQ(font.lfHeight, 12);
    EXPECT_EQ(font.lfWidth, 7);
    EXPECT_EQ(font.lfWeight, 600);
    EXPECT_EQ(font.lfCharSet, 0);
    EXPECT_EQ(font.lfPitchAndFamily, 0x10);
    EXPECT_STREQ(font.lfFaceName, L"\u5B8B\u4F53");
}

TEST(GameArt, EveryFramePictureHasItsNaturalSize) {
    struct Size {
        int id, width, height;
    };
    std::vector<Size> sizes = {{149, 1, 29},  {150, 130, 29}, {151, 136, 29}, {152, 3, 1},
                               {157, 3, 1},   {153, 1, 4},    {169, 3, 3},    {168, 3, 3},
                               {158, 28, 24}, {159, 28, 24},  {166, 28, 24}};
    for (int id : {154, 155, 160, 161, 162, 163, 164, 165, 167, 205, 206, 207, 213, 214, 215})
        sizes.push_back({id, 24, 24});
    for (const Size& s : sizes) {
        UniqueBitmap bitmap(::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(s.id)));
        ASSERT_TRUE(bitmap) << s.id;
        BITMAP info{};
        ASSERT_TRUE(::GetObjectW(bitmap.get(), sizeof(info), &info));
        EXPECT_EQ(info.bmWidth, s.width) << s.id;
        EXPECT_EQ(info.bmHeight, s.height) << s.id;
    }
}

TEST_F(GameFixture, HitTestZonesAnswerRealMessages) {
    // Window (100, 80)-(900, 680).
    struct Case {
        int x, y;
        LRESULT expected;
    };
    const Case cases[] = {
        {110, 90, HTCAPTION},      {111, 90, HTCAPTION},  {103, 91, HTLEFT},         {104, 300, HTCAPTION},
        {890, 90, HTCLIENT},       {889, 90, HTCAPTION},  {897, 91, HTRIGHT},        {896, 300, HTCAPTION},
        {110, 670, HTBOTTOMLEFT},  {111, 677, HTBOTTOM},  {890, 670, HTBOTTOMRIGHT}, {889, 677, HTBOTTOM},
        {500, 83, HTCAPTION},      {500, 676, HTCAPTION}, {500, 677, HTBOTTOM},      {100, 80, HTCAPTION},
        {899, 679, HTBOTTOMRIGHT},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HitTest(c.x, c.y), c.expected) << c.x << "," << c.y;
}

TEST_F(GameFixture, EdgesForgetTheHotButtonSoTheSizingCursorShows) {
    Hover(730, 10); // minimise
    EXPECT_EQ(GameCaptionProbe::HotCode(GameProbe::Caption(game)), 1);
    EXPECT_TRUE(game.SendMessageW(WM_SETCURSOR, reinterpret_cast<WPARAM>(game.m_hWnd),
                                  MAKELPARAM(HTCAPTION, WM_MOUSEMOVE)));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HAND));
    HitTest(500, 300); // inside the caption rules: kept
    EXPECT_EQ(GameCaptionProbe::HotCode(GameProbe::Caption(game)), 1);
    HitTest(890, 81); // top-right zone: kept
    EXPECT_EQ(GameCaptionProbe::HotCode(GameProbe::Caption(game)), 1);
    HitTest(101, 300);
    EXPECT_EQ(GameCaptionProbe::HotCode(GameProbe::Caption(game)), 0);
}

TEST_F(GameFixture, MinimumTrackingSize) {
    MINMAXINFO info{};
    info.ptMinTrackSize = {10, 10};
    info.ptMaxTrackSize = {5000, 4000};
    game.SendMessageW(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 450);
    EXPECT_EQ(info.ptMinTrackSize.y, 300);
    EXPECT_EQ(info.ptMaxTrackSize.x, 5000);
}

TEST_F(GameFixture, ToggleMaximizedThereAndBack) {
    const RECT before = WindowRect(game.m_hWnd);
    game.ToggleMaximized();
    EXPECT_TRUE(GameProbe::Maximized(game));
    EXPECT_TRUE(game.IsWindowVisible());
    EXPECT_TRUE(SameRect(WindowRect(game.m_hWnd), WorkArea())) << Describe(WindowRect(game.m_hWnd));
    EXPECT_TRUE(SameRect(GameProbe::RestorePlace(game), before)) << Describe(GameProbe::RestorePlace(game));
    game.ToggleMaximized();
    EXPECT_FALSE(GameProbe::Maximized(game));
    EXPECT_TRUE(SameRect(WindowRect(game.m_hWnd), before)) << Describe(WindowRect(game.m_hWnd));

    // A double-click anywhere outside the game control does the same, edges included.
    NcMessage(WM_NCLBUTTONDBLCLK, 1, 300, HTLEFT);
    EXPECT_TRUE(GameProbe::Maximized(game));
    NcMessage(WM_NCLBUTTONDBLCLK, 400, 10);
    EXPECT_FALSE(GameProbe::Maximized(game));
    EXPECT_TRUE(SameRect(WindowRect(game.m_hWnd), before));
}

TEST_F(GameFixture, ADragAwayFromTheOriginDropsTheMaximisedFlag) {
    game.ShowWindow(SW_SHOWNOACTIVATE);
    game.ToggleMaximized();
    ASSERT_TRUE(GameProbe::Maximized(game));
    const RECT work = WorkArea();
    const bool originAtZero = work.left == 0 && work.top == 0;
    // A resize that keeps the origin keeps the flag only when the work area starts at (0, 0).
    Place(work.left, work.top, 1000, 700);
    EXPECT_EQ(GameProbe::Maximized(game), originAtZero);

    game.ToggleMaximized();
    game.ToggleMaximized();
    ASSERT_TRUE(GameProbe::Maximized(game));
    Place(40, 30, 1000, 700);
    EXPECT_FALSE(GameProbe::Maximized(game));
    // The next toggle maximises again, from where the window now is.
    game.ToggleMaximized();
    EXPECT_TRUE(GameProbe::Maximized(game));
    EXPECT_TRUE(SameRect(GameProbe::RestorePlace(game), RECT{40, 30, 1040, 730}));

    // A move made while a caption button is hot is the button's own and keeps the flag.
    GameCaptionProbe::HotCode(GameProbe::Caption(game)) = 2;
    Place(40, 30, 1000, 700);
    EXPECT_TRUE(GameProbe::Maximized(game));
    GameCaptionProbe::HotCode(GameProbe::Caption(game)) = 0;
}

TEST_F(GameFixture, OpenMaximizedFillsTheWorkAreaWithACentredRestorePlace) {
    GameProbe::Maximized(game) = true; // whatever an earlier entry left behind
    game.OpenMaximized();
    const RECT work = WorkArea();
    EXPECT_TRUE(GameProbe::Maximized(game));
    EXPECT_TRUE(SameRect(WindowRect(game.m_hWnd), work));
    const int ww = work.right - work.left, wh = work.bottom - work.top;
    const int w = ww < 1500 ? ww : 1500, h = wh < 900 ? wh : 900;
    const RECT restore{ww / 2 - w / 2, wh / 2 - h / 2, ww / 2 - w / 2 + w, wh / 2 - h / 2 + h};
    EXPECT_TRUE(SameRect(GameProbe::RestorePlace(game), restore)) << Describe(GameProbe::RestorePlace(game));
    game.ToggleMaximized();
    EXPECT_TRUE(SameRect(WindowRect(game.m_hWnd), restore)) << Describe(WindowRect(game.m_hWnd));
}

TEST_F(GameFixture, GameControlKeepsFillingTheFrame) {
    HWND control = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, game.m_hWnd,
                                     reinterpret_cast<HMENU>(1001), nullptr, nullptr);
    ASSERT_NE(control, nullptr);
    auto controlRect = [&] {
        RECT r = WindowRect(control);
        ::MapWindowPoints(nullptr, game.m_hWnd, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    game.LayoutGameControl();
    EXPECT_TRUE(SameRect(controlRect(), RECT{3, 29, 797, 597})) << Describe(controlRect());

    const RECT work = WorkArea();
    const struct { int w, h; } sizes[] = {{1024, 700}, {450, 300}, {777, 333}};
    for (const auto& s : sizes) {
        Place(50, 40, s.w, s.h);
        EXPECT_TRUE(SameRect(controlRect(), RECT{3, 29, s.w - 3, s.h - 3})) << s.w << "x" << s.h;
    }
    // Larger than the work area: laid out for the work area's size.
    const int bigW = work.right - work.left + 300, bigH = work.bottom - work.top + 200;
    Place(0, 0, bigW, bigH);
    EXPECT_TRUE(SameRect(controlRect(), RECT{3, 29, work.right - work.left - 3, work.bottom - work.top - 3}))
        << Describe(controlRect());

    // Maximise and restore re-lay it out too, and hand it the keyboard focus.
    Place(100, 80, 800, 600);
    game.ToggleMaximized();
    EXPECT_TRUE(SameRect(controlRect(), RECT{3, 29, work.right - work.left - 3, work.bottom - work.top - 3}));
    EXPECT_EQ(::GetFocus(), control);
    game.ToggleMaximized();
    EXPECT_TRUE(SameRect(controlRect(), RECT{3, 29, 797, 597}));

    // Too small for a control: it stays where it is.
    Place(100, 80, 5, 20);
    EXPECT_TRUE(SameRect(controlRect(), RECT{3, 29, 797, 597}));
}

TEST_F(GameFixture, CaptionButtonsFollowNonClientMouseMessages) {
    // W = 800: menu 692-720, tray 665-689, minimise 722-746, maximise 748-772, close 774-798.
    Hover(700, 10);
    EXPECT_EQ(GameCaptionProbe::ButtonStates(GameProbe::Caption(game)),
              (CaptionButtonStates{ButtonState::Hover, ButtonState::Normal, ButtonState::Normal,
                                   ButtonState::Normal, ButtonState::Normal}));
    EXPECT_EQ(GameCaptionProbe::HotCode(GameProbe::Caption(game)), 3);
    EXPECT_TRUE(SameRect(GameCaptionProbe::ButtonRect(GameProbe::Caption(game), 0), RECT{692, 2, 720, 26}));
    EXPECT_TRUE(SameRect(GameCaptionProbe::ButtonRect(GameProbe::Caption(game), 1), RECT{665, 2, 689, 26}));
    Hover(670, 25);
    EXPECT_EQ(GameCaptionProbe::ButtonStates(GameProbe::Caption(game)),
              (CaptionButtonStates{ButtonState::Normal, ButtonState::Hover, ButtonState::Normal,
                                   ButtonState::Normal, ButtonState::Normal}));
    EXPECT_EQ(GameCaptionProbe::HotCode(GameProbe::Caption(game)), 4);
    Hover(689, 10);
    EXPECT_EQ(GameCaptionProbe::ButtonStates(GameProbe::Caption(game)), (CaptionButtonStates{}));
    EXPECT_EQ(GameCaptionProbe::HotCode(GameProbe::Caption(game)), 0);
    EXPECT_FALSE(game.SendMessageW(WM_SETCURSOR, reinterpret_cast<WPARAM>(game.m_hWnd),
                                   MAKELPARAM(HTCAPTION, WM_MOUSEMOVE)));

    // Maximise through its button: enter, press, and the first move after the press acts.
    Hover(760, 10);
    Press(760, 10);
    EXPECT_EQ(GameCaptionProbe::ButtonStates(GameProbe::Caption(game)),
              (CaptionButtonStates{ButtonState::Normal, ButtonState::Normal, ButtonState::Normal,
                                   ButtonState::Pressed, ButtonState::Normal}));
    EXPECT_TRUE(GameCaptionProbe::Pressed(GameProbe::Caption(game)));
    EXPECT_FALSE(GameProbe::Maximized(game));
    Hover(300, 300);
    EXPECT_FALSE(GameCaptionProbe::Pressed(GameProbe::Caption(game)));
    EXPECT_TRUE(GameProbe::Maximized(game));
    EXPECT_EQ(GameCaptionProbe::ButtonStates(GameProbe::Caption(game)), (CaptionButtonStates{}));
    EXPECT_EQ(GameCaptionProbe::HotCode(GameProbe::Caption(game)), 0);
    EXPECT_TRUE(SameRect(WindowRect(game.m_hWnd), WorkArea()));

    // Minimise through its button.
    const RECT r = WindowRect(game.m_hWnd);
    const int w = r.right - r.left;
    Hover(w - 70, 10);
    Press(w - 70, 10);
    Hover(w - 70, 10);
    EXPECT_TRUE(game.IsIconic());
    game.ShowWindow(SW_RESTORE);

    // The mouse leaving the caption downwards into the game control.
    Hover(w - 70, 10);
    game.ResetCaptionButtons();
    EXPECT_EQ(GameCaptionProbe::ButtonStates(GameProbe::Caption(game)), (CaptionButtonStates{}));
    EXPECT_EQ(GameCaptionProbe::HotCode(GameProbe::Caption(game)), 0);
}

// ---- On screen ----

// The screen's pixels over a window, read back from the desktop.
class ScreenShot {
public:
    explicit ScreenShot(const RECT& r) {
        const int w = r.right - r.left, h = r.bottom - r.top;
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        HDC screen = ::GetDC(nullptr);
        void* bits = nullptr;
        m_bitmap.reset(::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        UniqueMemoryDc memory(::CreateCompatibleDC(screen));
        {
            SelectedObject selected(memory.get(), m_bitmap.get());
            ::BitBlt(memory.get(), 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        }
        ::ReleaseDC(nullptr, screen);
        m_pixels = static_cast<const DWORD*>(bits);
        m_width = w;
        m_height = h;
    }
    // As 0xRRGGBB, in window coordinates.
    unsigned At(int x, int y) const { return m_pixels[y * m_width + x] & 0xFFFFFF; }
    // Writes the picture as a 24-bit BMP, for a person to look at.
    void Save(const char* path) const {
        const int stride = (m_width * 3 + 3) & ~3;
        BITMAPFILEHEADER file{0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
        BITMAPINFOHEADER header{sizeof(header), m_width, m_height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        file.bfSize = file.bfOffBits + static_cast<DWORD>(stride * m_height);
        std::FILE* f = std::fopen(path, "wb");
        if (!f)
            return;
        std::fwrite(&file, sizeof(file), 1, f);
        std::fwrite(&header, sizeof(header), 1, f);
        std::vector<unsigned char> row(static_cast<std::size_t>(stride));
        for (int y = m_height - 1; y >= 0; --y) {
            for (int x = 0; x < m_width; ++x) {
                const unsigned c = At(x, y);
                row[x * 3] = c & 0xFF;
                row[x * 3 + 1] = (c >> 8) & 0xFF;
                row[x * 3 + 2] = (c >> 16) & 0xFF;
            }
            std::fwrite(row.data(), 1, row.size(), f);
        }
        std::fclose(f);
    }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    UniqueBitmap m_bitmap;
    const DWORD* m_pixels = nullptr;
    int m_width = 0;
    int m_height = 0;
};

// True when the picture of bitmap id stands unchanged at (x, y) of the shot.
::testing::AssertionResult ShowsBitmap(const ScreenShot& shot, int id, int x, int y) {
    UniqueBitmap bitmap(::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id)));
    BITMAP info{};
    if (!bitmap || !::GetObjectW(bitmap.get(), sizeof(info), &info))
        return ::testing::AssertionFailure() << "no bitmap " << id;
    UniqueMemoryDc memory(::CreateCompatibleDC(nullptr));
    SelectedObject selected(memory.get(), bitmap.get());
    for (int by = 0; by < info.bmHeight; ++by) {
        for (int bx = 0; bx < info.bmWidth; ++bx) {
            const COLORREF c = ::GetPixel(memory.get(), bx, by);
            const unsigned expected = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
            if (shot.At(x + bx, y + by) != expected)
                return ::testing::AssertionFailure()
                       << "bitmap " << id << " differs at (" << x + bx << ", " << y + by << "): " << std::hex
                       << shot.At(x + bx, y + by) << " instead of " << expected;
        }
    }
    return ::testing::AssertionSuccess();
}

void SaveIfAsked(const ScreenShot& shot, const char* name) {
    if (const char* dir = std::getenv("KELVO_SHOT_DIR")) {
        const std::string path = std::string(dir) + "\\" + name;
        shot.Save(path.c_str());
    }
}

TEST_F(GameFixture, PaintedFrameOnScreen) {
    constexpr int W = 700, H = 450;
    GameCaptionProbe::Title(GameProbe::Caption(game)) = L"s12.kelvo.test";
    ::SetWindowPos(game.m_hWnd, HWND_TOP, 200, 150, W, H, SWP_SHOWWINDOW);
    ::RedrawWindow(game.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
    Pump(300);
    ScreenShot shot(WindowRect(game.m_hWnd));
    SaveIfAsked(shot, "game_frame.bmp");

    const unsigned side[] = {0x230201, 0x772B16, 0x1F0B07};
    for (int y : {29, 200, H - 4}) {
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(shot.At(i, y), side[i]) << "left border " << i << "," << y;
            EXPECT_EQ(shot.At(W - 3 + i, y), side[i]) << "right border " << i << "," << y;
        }
    }
    const unsigned bottom[] = {0x220600, 0x3F0406, 0x7C1A00, 0x200100};
    for (int x : {3, 350, W - 4}) {
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(shot.At(x, H - 4 + i), bottom[i]) << "bottom border " << x << "," << i;
    }
    const unsigned bottomLeft[3][3] = {
        {0x200000, 0x7B1B00, 0x3F0406}, {0x200000, 0x7B1B00, 0x7B1B00}, {0x200000, 0x1B0200, 0x200000}};
    const unsigned bottomRight[3][3] = {
        {0x3F0406, 0x7B1B00, 0x200000}, {0x7B1B00, 0x7B1B00, 0x200000}, {0x200000, 0x1B0200, 0x200000}};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            EXPECT_EQ(shot.At(col, H - 3 + row), bottomLeft[row][col]) << "bottom-left " << col << "," << row;
            EXPECT_EQ(shot.At(W - 3 + col, H - 3 + row), bottomRight[row][col])
                << "bottom-right " << col << "," << row;
        }
    }
    // The caption middle, stretched, away from the title.
    for (int x : {300, W - 137}) {
        EXPECT_EQ(shot.At(x, 0), 0x210100u);
        EXPECT_EQ(shot.At(x, 1), 0x7C1B00u);
        EXPECT_EQ(shot.At(x, 2), 0x320D05u);
        EXPECT_EQ(shot.At(x, 26), 0x5A1100u);
        EXPECT_EQ(shot.At(x, 28), 0x0D0300u);
    }
    // The title: white letters centred at x = 155, over the caption's left part and middle.
    int leftmost = W, rightmost = -1;
    for (int y = 0; y < 29; ++y) {
        for (int x = 0; x < W - 136; ++x) {
            if (shot.At(x, y) == 0xFFFFFF) {
                leftmost = x < leftmost ? x : leftmost;
                rightmost = x > rightmost ? x : rightmost;
            }
        }
    }
    ASSERT_GE(rightmost, 0) << "no title drawn";
    EXPECT_LE(std::abs((leftmost + rightmost + 1) / 2 - 155), 4) << leftmost << ".." << rightmost;

    // Caption buttons stand where the table puts them, showing their normal pictures.
    EXPECT_TRUE(ShowsBitmap(shot, 158, W - 108, 2));
    EXPECT_TRUE(ShowsBitmap(shot, 213, W - 135, 2));
    EXPECT_TRUE(ShowsBitmap(shot, 160, W - 78, 2));
    EXPECT_TRUE(ShowsBitmap(shot, 162, W - 52, 2));
    EXPECT_TRUE(ShowsBitmap(shot, 154, W - 26, 2));
    // The right caption part fills around them.
    EXPECT_EQ(shot.At(W - 136, 0), 0x210100u);
    EXPECT_EQ(shot.At(W - 1, 28), 0x1F0B07u);

    // Hover, press and the restore picture.
    Hover(W - 20, 10);
    Press(W - 100, 10);
    GameProbe::Maximized(game) = true;
    game.PaintCaptionButtons();
    Pump(200);
    ScreenShot lit(WindowRect(game.m_hWnd));
    GameProbe::Maximized(game) = false;
    SaveIfAsked(lit, "game_buttons.bmp");
    EXPECT_TRUE(ShowsBitmap(lit, 155, W - 26, 2));
    EXPECT_TRUE(ShowsBitmap(lit, 166, W - 108, 2));
    EXPECT_TRUE(ShowsBitmap(lit, 205, W - 52, 2));
    EXPECT_TRUE(ShowsBitmap(lit, 160, W - 78, 2));
}

TEST_F(GameFixture, ShrinkingRepaintsTheButtonsAtTheirNewPlaces) {
    ::SetWindowPos(game.m_hWnd, HWND_TOP, 200, 150, 700, 450, SWP_SHOWWINDOW);
    Pump(200);
    ::SetWindowPos(game.m_hWnd, nullptr, 0, 0, 600, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump(300);
    ScreenShot shot(WindowRect(game.m_hWnd));
    SaveIfAsked(shot, "game_shrunk.bmp");
    EXPECT_TRUE(ShowsBitmap(shot, 150, 0, 0));
    EXPECT_TRUE(ShowsBitmap(shot, 154, 600 - 26, 2));
    EXPECT_TRUE(ShowsBitmap(shot, 168, 597, 397));
    EXPECT_TRUE(ShowsBitmap(shot, 169, 0, 397));
}

} // namespace

// ---- Real mouse input ----

void SendMouse(DWORD flags, int x = 0, int y = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        input.mi.dx = static_cast<LONG>((x * 65536LL + 65535) / ::GetSystemMetrics(SM_CXSCREEN));
        input.mi.dy = static_cast<LONG>((y * 65536LL + 65535) / ::GetSystemMetrics(SM_CYSCREEN));
    }
    ::SendInput(1, &input, sizeof(input));
}

// Presses at one screen point, drags to another and releases, as a user would. The input comes
// from another thread because the system's move or size loop runs inside the press's default
// processing on this one, which keeps pumping meanwhile.
void Drag(POINT from, POINT to, std::optional<POINT> after = std::nullopt) {
    std::atomic<bool> done{false};
    std::thread user([&] {
        const auto step = [](DWORD flags, int x, int y) {
            SendMouse(flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
            ::Sleep(60);
        };
        step(0, from.x, from.y);
        step(MOUSEEVENTF_LEFTDOWN, from.x, from.y);
        step(0, (from.x + to.x) / 2, (from.y + to.y) / 2);
        step(0, to.x, to.y);
        step(MOUSEEVENTF_LEFTUP, to.x, to.y);
        if (after)
            step(0, after->x, after->y);
        done = true;
    });
    const DWORD start = ::GetTickCount();
    while (!done && ::GetTickCount() - start < 5000)
        Pump(20);
    user.join();
    Pump(100);
}

TEST_F(GameFixture, UserDragsMoveAndSizeTheWindowButNotBelowTheMinimum) {
    ::SetWindowPos(game.m_hWnd, HWND_TOP, 200, 150, 700, 450, SWP_SHOWWINDOW);
    ::SetForegroundWindow(game.m_hWnd);
    Pump(100);

    Drag({400, 160}, {450, 200}); // caption
    RECT r = WindowRect(game.m_hWnd);
    EXPECT_TRUE(SameRect(r, RECT{250, 190, 950, 640})) << Describe(r);

    Drag({948, 638}, {1048, 718}); // bottom-right corner
    r = WindowRect(game.m_hWnd);
    EXPECT_TRUE(SameRect(r, RECT{250, 190, 1050, 720})) << Describe(r);

    Drag({251, 400}, {900, 400}); // left edge, far past the minimum width
    r = WindowRect(game.m_hWnd);
    // Wine's size loop stops the pointer one pixel short of the limit.
    EXPECT_GE(r.right - r.left, 450) << Describe(r);
    EXPECT_LE(r.right - r.left, 451) << Describe(r);
    EXPECT_EQ(r.right, 1050);

    Drag({800, 719}, {800, 100}); // bottom edge, far past the minimum height
    r = WindowRect(game.m_hWnd);
    EXPECT_GE(r.bottom - r.top, 300) << Describe(r);
    EXPECT_LE(r.bottom - r.top, 301) << Describe(r);

    const RECT before = r;
    Drag({700, 191}, {700, 400}); // top edge: drags, does not size
    r = WindowRect(game.m_hWnd);
    EXPECT_EQ(r.bottom - r.top, before.bottom - before.top) << Describe(r);
    EXPECT_EQ(r.top, before.top + 209) << Describe(r);

    // A press on the maximise button starts a drag like any press on the caption; the button acts
    // at the first move after it, wherever that is.
    const POINT maximise{r.right - 40, r.top + 12};
    Drag(maximise, {maximise.x - 30, maximise.y + 20}, POINT{maximise.x - 200, maximise.y + 21});
    EXPECT_TRUE(GameProbe::Maximized(game));
    EXPECT_TRUE(SameRect(WindowRect(game.m_hWnd), WorkArea())) << Describe(WindowRect(game.m_hWnd));
    EXPECT_TRUE(
        SameRect(GameProbe::RestorePlace(game), RECT{r.left - 30, r.top + 20, r.right - 30, r.bottom + 20}))
        << Describe(GameProbe::RestorePlace(game));
}
