// The frame's picture buttons as plain data: rectangles in frame client pixels, a state each, and
// the rules by which mouse movement, presses and releases change them. The buttons are kept in
// one fixed order, which is both the hit-test order and the drawing order.
#pragma once

#include "base/PixelRect.h"
#include "base/ButtonState.h"

#include <array>
#include <cstddef>
#include <string>

namespace kelvo {

using FrameButtonState = ButtonState;

enum class FrameAction { None, OpenNews, OpenPayment, OpenForum, OpenService, Minimise, Close };

// Where one button sits and which pictures it shows. Sizes are those of the normal pictures, used
// when a picture cannot be loaded so that the button stays where users expect it.
struct FrameButtonLayout {
    int normalId;
    int hoverId;
    int pressedId;
    int left;
    int top;
    int width;
    int height;
    FrameAction action;
};

constexpr std::size_t kFrameButtonCount = 7;
extern const std::array<FrameButtonLayout, kFrameButtonCount> kFrameButtonLayouts;

struct FrameButton {
    PixelRect rect;
    FrameButtonState state = FrameButtonState::Normal;
};

using FrameButtons = std::array<FrameButton, kFrameButtonCount>;

// Buttons at their places with the given picture sizes (width 0 falls back to the table's size).
FrameButtons MakeFrameButtons(const std::array<std::pair<int, int>, kFrameButtonCount>& normalSizes);

// Pointer movement: a button under the point turns from normal to hover (hover and pressed stay);
// every other button turns normal. Overlapping buttons may both show hover.
void FrameButtonsMouseMove(FrameButtons& buttons, int x, int y) noexcept;
// A press: the first button in order containing the point becomes pressed; returns its index, or
// -1 when the press is outside every button (the frame is then dragged).
int FrameButtonsPress(FrameButtons& buttons, int x, int y) noexcept;
// A release: the first button in order containing the point acts, whatever was pressed before.
// Buttons other than close go back to hover. Returns the index, or -1 for none.
int FrameButtonsRelease(FrameButtons& buttons, int x, int y) noexcept;
// The hand cursor shows while any button is in hover or pressed state.
bool FrameButtonsWantHand(const FrameButtons& buttons) noexcept;

struct FrameHosts {
    std::u16string news;
    std::u16string payment;
    std::u16string forum;
    std::u16string portal;
};

// The web address a tab opens, or empty for actions that are not links.
std::u16string FrameLinkAddress(FrameAction action, const FrameHosts& hosts);
// The "rundll32.exe" parameters that open an address with the system's handler for its protocol.
std::u16string FrameLinkParameters(const std::u16string& address);

} // namespace kelvo
