#include "game/core/GameFrame.h"

#include <algorithm>
#include <iterator>

namespace kelvo {

namespace {

// The drag and sizing zones of the hit-test: corner squares and edge strips.
constexpr int kCornerZone = 10;
constexpr int kEdgeZone = 3;

constexpr int kRestoreMaxWidth = 1500;
constexpr int kRestoreMaxHeight = 900;

int CaptionOf(int defaultCode) {
    return defaultCode == kHitClient ? kHitCaption : defaultCode;
}

} // namespace

std::vector<GameFramePiece> LayoutGameFrame(int windowWidth, int windowHeight, int workWidth, int workHeight,
                                            const GameFrameImageSizes& sizes) {
    const int w = std::min(windowWidth, workWidth);
    const int h = std::min(windowHeight, workHeight);
    const int sideTop = kGameCaptionHeight;
    const int sideBottom = h - kGameBorderWidth;
    const int rightX = w - kGameBorderWidth;
    const int bottomY = h - kGameBorderWidth;

    const GameFramePiece all[] = {
        {kImgBorderLeft, {0, sideTop, sizes.borderLeft.width, sideBottom}},
        {kImgCaptionLeft, {0, 0, sizes.captionLeft.width, kGameCaptionHeight}},
        {kImgCaptionMiddle, {sizes.captionLeft.width, 0, w - sizes.captionRight.width, kGameCaptionHeight}},
        {kImgCaptionRight, {w - sizes.captionRight.width, 0, w, kGameCaptionHeight}},
        {kImgBorderRight, {rightX, sideTop, rightX + sizes.borderRight.width, sideBottom}},
        {kImgCornerBottomLeft,
         {0, bottomY, sizes.cornerBottomLeft.width, bottomY + sizes.cornerBottomLeft.height}},
        {kImgBorderBottom,
         {sizes.borderLeft.width, h - sizes.borderBottom.height, w - sizes.borderLeft.width, h}},
        {kImgCornerBottomRight,
         {rightX, bottomY, rightX + sizes.cornerBottomRight.width, bottomY + sizes.cornerBottomRight.height}},
    };
    std::vector<GameFramePiece> pieces;
    pieces.reserve(std::size(all));
    for (const GameFramePiece& piece : all) {
        if (piece.dest.Width() > 0 && piece.dest.Height() > 0)
            pieces.push_back(piece);
    }
    return pieces;
}

CaptionButtonRects LayoutCaptionButtons(int windowWidth) {
    CaptionButtonRects rects{};
    for (std::size_t i = 0; i < kCaptionButtonCount; ++i) {
        const CaptionButtonLayout& layout = kCaptionButtonLayouts[i];
        rects[i] = {windowWidth - layout.leftFromRight, kCaptionButtonTop,
                    windowWidth - layout.rightFromRight, kCaptionButtonBottom};
    }
    return rects;
}

int CaptionButtonImage(std::size_t index, ButtonState state, bool maximized) {
    if (index >= kCaptionButtonCount)
        return 0;
    const CaptionButtonLayout& layout = kCaptionButtonLayouts[index];
    const bool restore = maximized && layout.restoreNormalId != 0;
    if (state == ButtonState::Normal)
        return restore ? layout.restoreNormalId : layout.normalId;
    if (state == ButtonState::Pressed)
        return restore ? layout.restorePressedId : layout.pressedId;
    return restore ? layout.restoreHoverId : layout.hoverId;
}

bool CaptionButtonsPress(CaptionButtonStates& states, bool& pressed, const CaptionButtonRects& rects, int x,
                         int y) {
    for (std::size_t i = 0; i < kCaptionButtonCount; ++i) {
        if (rects[i].Contains(x, y)) {
            states[i] = ButtonState::Pressed;
            pressed = true;
            return true;
        }
    }
    return false;
}

CaptionAction CaptionButtonsClick(CaptionButtonStates& states, bool& pressed, int hotCode) {
    pressed = false;
    for (std::size_t i = 0; i < kCaptionButtonCount; ++i) {
        if (kCaptionButtonLayouts[i].hotCode == hotCode) {
            states[i] = ButtonState::Normal;
            return kCaptionButtonLayouts[i].action;
        }
    }
    return CaptionAction::None;
}

bool CaptionButtonsHover(CaptionButtonStates& states, int& hotCode, const CaptionButtonRects& rects, int x,
                         int y) {
    bool repaint = false;
    for (std::size_t i = 0; i < kCaptionButtonCount; ++i) {
        if (rects[i].Contains(x, y)) {
            // A lit or pressed button under the mouse keeps its state and does not become hot
            // again: a press made while nothing was hot stays a press without an action.
            if (states[i] == ButtonState::Normal) {
                states[i] = ButtonState::Hover;
                hotCode = kCaptionButtonLayouts[i].hotCode;
                repaint = true;
            }
        } else {
            states[i] = ButtonState::Normal;
            repaint = true;
        }
    }
    return repaint;
}

void CaptionButtonsSettle(const CaptionButtonStates& states, int& hotCode) {
    if (std::all_of(states.begin(), states.end(), [](ButtonState s) { return s == ButtonState::Normal; }))
        hotCode = 0;
}

bool CaptionButtonsReset(CaptionButtonStates& states, bool& pressed, int& hotCode) {
    if (std::all_of(states.begin(), states.end(), [](ButtonState s) { return s == ButtonState::Normal; }))
        return false;
    states.fill(ButtonState::Normal);
    pressed = false;
    hotCode = 0;
    return true;
}

GameHitResult GameHitTest(int x, int y, const GameRect& r, int defaultCode) {
    const bool nearLeft = x <= r.left + kCornerZone;
    const bool nearRight = x >= r.right - kCornerZone;
    const bool nearTop = y <= r.top + kCornerZone;
    const bool nearBottom = y >= r.bottom - kCornerZone;

    if (nearLeft && nearTop)
        return {CaptionOf(defaultCode), true};
    if (nearRight && nearTop)
        return {defaultCode, false};
    if (nearLeft && nearBottom)
        return {kHitBottomLeft, true};
    if (nearRight && nearBottom)
        return {kHitBottomRight, true};
    if (x <= r.left + kEdgeZone)
        return {kHitLeft, true};
    if (x >= r.right - kEdgeZone)
        return {kHitRight, true};
    if (y <= r.top + kEdgeZone)
        return {CaptionOf(defaultCode), true};
    if (y >= r.bottom - kEdgeZone)
        return {kHitBottom, true};
    return {CaptionOf(defaultCode), false};
}

bool GameStaysMaximized(bool maximized, const GameRect& windowScreen, int hotCode, bool minimized) {
    if (minimized ||
        (windowScreen.left == kMinimizedParkingPosition && windowScreen.top == kMinimizedParkingPosition))
        return maximized;
    if (maximized && (windowScreen.top != 0 || windowScreen.left != 0) && hotCode == 0)
        return false;
    return maximized;
}

GameRect GameDefaultRestoreRect(int workWidth, int workHeight) {
    const int w = std::min(workWidth, kRestoreMaxWidth);
    const int h = std::min(workHeight, kRestoreMaxHeight);
    const int left = workWidth / 2 - w / 2;
    const int top = workHeight / 2 - h / 2;
    return {left, top, left + w, top + h};
}

std::optional<GameRect> GameControlRect(int windowWidth, int windowHeight, int workWidth, int workHeight) {
    const int w = std::min(windowWidth, workWidth);
    const int h = std::min(windowHeight, workHeight);
    const int width = w - 2 * kGameBorderWidth;
    const int height = h - kGameCaptionHeight - kGameBorderWidth;
    if (width <= 0 || height <= 0)
        return std::nullopt;
    return GameRect{kGameBorderWidth, kGameCaptionHeight, kGameBorderWidth + width,
                    kGameCaptionHeight + height};
}

} // namespace kelvo
