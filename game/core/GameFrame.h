// The game window's self-drawn frame as plain data: where each frame picture goes, where the five
// caption buttons stand and which picture each shows, how mouse messages move the buttons between
// normal, hover and pressed, which hit-test code each point of the window gets, and the placement
// arithmetic of maximise, restore and the hosted game control.
//
// Coordinates are window pixels with (0, 0) at the window's top-left corner unless a name says
// screen. The window has no system frame, so its client area is the whole window.
#pragma once

#include "base/PixelRect.h"
#include "base/ButtonState.h"
#include "res/resource.h"

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

namespace kelvo {

using GameRect = PixelRect;

constexpr int kGameBorderWidth = 3;
constexpr int kGameCaptionHeight = 29;
constexpr int kGameMinTrackWidth = 450;
constexpr int kGameMinTrackHeight = 300;
constexpr int kGameControlId = IDC_FLASH;
// The caption title's reference point: horizontally centred there, top at a third of the caption.
constexpr int kGameTitleCentreX = 155;

// Hit-test codes of the window system, so that the table below can be tested without it.
enum GameHitCode : int {
    kHitNowhere = 0,
    kHitClient = 1,
    kHitCaption = 2,
    kHitLeft = 10,
    kHitRight = 11,
    kHitBottom = 15,
    kHitBottomLeft = 16,
    kHitBottomRight = 17,
};

// ---- Frame pictures ----

enum GameFrameImage : int {
    kImgCaptionMiddle = IDB_CAPTION_MIDDLE,
    kImgCaptionLeft = IDB_CAPTION_LEFT,
    kImgCaptionRight = IDB_CAPTION_RIGHT,
    kImgBorderLeft = IDB_BORDER_LEFT,
    kImgBorderBottom = IDB_BORDER_BOTTOM,
    kImgBorderRight = IDB_BORDER_RIGHT,
    kImgCornerBottomRight = IDB_CORNER_BOTTOM_RIGHT,
    kImgCornerBottomLeft = IDB_CORNER_BOTTOM_LEFT,
};

struct GameImageSize {
    int width = 0;
    int height = 0;
};

// The natural sizes of the pictures that enter the layout. The defaults are the sizes the pictures
// are made in; the window side passes what it measured.
struct GameFrameImageSizes {
    GameImageSize captionLeft{130, 29};
    GameImageSize captionRight{136, 29};
    GameImageSize borderLeft{3, 1};
    GameImageSize borderRight{3, 1};
    GameImageSize borderBottom{1, 4};
    GameImageSize cornerBottomLeft{3, 3};
    GameImageSize cornerBottomRight{3, 3};
};

struct GameFramePiece {
    int imageId = 0;
    GameRect dest;
    friend bool operator==(const GameFramePiece&, const GameFramePiece&) = default;
};

// The frame pictures in drawing order with their destination rectangles. The window's size is
// clamped to the work area's size first, so a window larger than the work area is framed as if it
// had the work area's size. Pieces left with no area (a window narrower than the caption's two
// ends) are left out rather than drawn mirrored.
std::vector<GameFramePiece> LayoutGameFrame(int windowWidth, int windowHeight, int workWidth, int workHeight,
                                            const GameFrameImageSizes& sizes = {});

// ---- Caption buttons ----

constexpr std::size_t kCaptionButtonCount = 5;

enum class CaptionAction { None, ShowMenu, HideToTray, Minimise, ToggleMaximise, Close };

struct CaptionButtonLayout {
    int hotCode;
    int leftFromRight;  // left edge = window width - leftFromRight
    int rightFromRight; // right edge = window width - rightFromRight
    int normalId, hoverId, pressedId;
    // The restore pictures of the maximise/restore button, shown while the window is maximised;
    // 0 for the other buttons.
    int restoreNormalId, restoreHoverId, restorePressedId;
    CaptionAction action;
};

constexpr int kCaptionButtonTop = 2;
constexpr int kCaptionButtonBottom = 26;

// In the order every loop visits them (not their order on screen).
inline constexpr std::array<CaptionButtonLayout, kCaptionButtonCount> kCaptionButtonLayouts{{
    {3, 108, 80, IDB_MENU_NORMAL, IDB_MENU_HOVER, IDB_MENU_PRESSED, 0, 0, 0, CaptionAction::ShowMenu},
    {4, 135, 111, IDB_TRAY_NORMAL, IDB_TRAY_HOVER, IDB_TRAY_PRESSED, 0, 0, 0, CaptionAction::HideToTray},
    {1, 78, 54, IDB_MIN_NORMAL, IDB_MIN_HOVER, IDB_MIN_PRESSED, 0, 0, 0, CaptionAction::Minimise},
    {2, 52, 28, IDB_MAX_NORMAL, IDB_MAX_HOVER, IDB_MAX_PRESSED, IDB_RESTORE_NORMAL, IDB_RESTORE_HOVER,
     IDB_RESTORE_PRESSED, CaptionAction::ToggleMaximise},
    {100, 26, 2, IDB_CLOSE_NORMAL, IDB_CLOSE_HOVER, IDB_CLOSE_PRESSED, 0, 0, 0, CaptionAction::Close},
}};

using CaptionButtonStates = std::array<ButtonState, kCaptionButtonCount>;
using CaptionButtonRects = std::array<GameRect, kCaptionButtonCount>;

// The buttons follow the real window width, not the work-area-clamped one.
CaptionButtonRects LayoutCaptionButtons(int windowWidth);

// The picture for a button in a state: any state but normal and pressed shows hover.
int CaptionButtonImage(std::size_t index, ButtonState state, bool maximized);

// A non-client left-button press at a window point: the first button containing it becomes
// pressed and a press is pending. The hot code is left as it is. True when a button was hit.
bool CaptionButtonsPress(CaptionButtonStates& states, bool& pressed, const CaptionButtonRects& rects, int x,
                         int y);

// The first non-client mouse move after a press: ends the press and, for the button last entered
// (the hot code, not the point of the move), puts it back to normal and names its action. Nothing
// when no known button is hot. The hot code is kept so that the action can see it; call
// CaptionButtonsSettle once the action has run.
CaptionAction CaptionButtonsClick(CaptionButtonStates& states, bool& pressed, int hotCode);

// A non-client mouse move without a pending press: buttons under the point light up (and become
// hot) unless already lit or pressed; the others go back to normal. True when a repaint is due.
bool CaptionButtonsHover(CaptionButtonStates& states, int& hotCode, const CaptionButtonRects& rects, int x,
                         int y);

// After either kind of move: no button lit means none is hot.
void CaptionButtonsSettle(const CaptionButtonStates& states, int& hotCode);

// Puts every button back to normal and drops a pending press; true when a button had been lit,
// i.e. a repaint is due. Nothing changes when all were normal already.
bool CaptionButtonsReset(CaptionButtonStates& states, bool& pressed, int& hotCode);

// ---- Hit-testing ----

struct GameHitResult {
    int code = kHitClient;
    bool clearHot = false; // the hot caption button is forgotten, so the sizing cursor shows
};

// The hit-test table for a screen point against the window rectangle, given the default
// processing's answer. Top edge and top corners never size; the top-right corner zone stays plain
// client area.
GameHitResult GameHitTest(int x, int y, const GameRect& windowScreen, int defaultCode);

// ---- Placement ----

// The maximised flag after a move or resize: a maximised window that has left the screen's origin
// while no caption button is hot (the user dragged it) is maximised no more. A minimised window
// (the system parks it at (-32000, -32000)) keeps the flag: its moves are not the user's, and the
// restore brings it back to where it was.
bool GameStaysMaximized(bool maximized, const GameRect& windowScreen, int hotCode, bool minimized = false);

// Where the window system parks a minimised top-level window.
constexpr int kMinimizedParkingPosition = -32000;

// The restore rectangle after a game entry's maximise: at most 1500 x 900, centred in a rectangle
// of the work area's size at (0, 0).
GameRect GameDefaultRestoreRect(int workWidth, int workHeight);

// Where the game control goes inside the frame, or nothing when the window is too small for it
// (minimised, for example) and the control should stay where it is.
std::optional<GameRect> GameControlRect(int windowWidth, int windowHeight, int workWidth, int workHeight);

} // namespace kelvo
