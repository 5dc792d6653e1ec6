// The game window's self-drawn frame: the frame pictures, the caption title, the five caption
// buttons with their tracking, and the hit-test answers that make the caption a drag area and the
// edges sizing zones. The window hands it its non-client messages; the rules are the portable
// ones of GameFrame.h. The pictures are loaded once per window and go with it.
#pragma once

#include "framework/Handles.h"
#include "game/core/GameFrame.h"

#include <windows.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace kelvo {

class GameCaption {
public:
    // A new window: its pictures and the title font are loaded and every button is normal. The
    // object outlives its windows, and a window closed from its caption leaves the close button
    // hot and pressed, which must not carry over into the next one.
    void Open(HWND window);
    // The window goes, and its pictures and font with it.
    void Close() noexcept;

    enum class Part { Whole, Buttons };
    // Draws straight onto the whole window: the frame, the title and the caption buttons, or the
    // buttons alone when only their states changed. Stores the buttons' places in m_rcButton.
    // Draws through `target` when given (a paint's own device context), else through the window's.
    void Paint(bool maximized, Part part = Part::Whole, HDC target = nullptr);

    // WM_NCHITTEST for a screen point, given default processing's answer. The edges forget the
    // hot button, so that the sizing cursor shows there.
    LRESULT HitTest(POINT screen, LRESULT defaultCode);
    // A non-client press at a screen point; true when a button was pressed (a repaint is due).
    bool Press(POINT screen);
    // The first non-client move after a press: the action of the button last entered.
    CaptionAction Click();
    // A non-client move without a pending press; true when a repaint is due.
    bool Hover(POINT screen);
    // After either kind of move.
    void Settle() { CaptionButtonsSettle(m_nButtonState, m_nHotCode); }
    // Puts lit buttons back to normal; true when a repaint is due.
    bool Reset() { return CaptionButtonsReset(m_nButtonState, m_bPressed, m_nHotCode); }
    bool WantsHandCursor() const noexcept { return m_nHotCode > 0; }
    // A press on a caption button waits for the next non-client move.
    bool Pressed() const noexcept { return m_bPressed; }
    // The hot code of the caption button last entered; 0 none.
    int HotCode() const noexcept { return m_nHotCode; }
    // Nothing is hot any more: the window went during the button's own action.
    void ForgetHotButton() noexcept { m_nHotCode = 0; }
    // Where the last paint put the menu button, in window coordinates.
    const RECT& MenuButtonRect() const noexcept { return m_rcButton[0]; }
    // The title drawn centred on the caption (the server's name).
    void SetTitle(std::wstring title) { m_strCaptionTitle = std::move(title); }

private:
    friend struct GameCaptionProbe; // the frame's state, for the tests

    int m_nBorderWidth = kGameBorderWidth;
    int m_nCaptionHeight = kGameCaptionHeight;
    std::wstring m_strCaptionTitle;
    COLORREF m_clrTitle = RGB(255, 255, 255);
    UniqueFont m_fontTitle;
    std::array<RECT, kCaptionButtonCount> m_rcButton{};
    CaptionButtonStates m_nButtonState{};
    // A press on a caption button waits for the next non-client move to become its action.
    bool m_bPressed = false;
    // The caption button last entered by the mouse (its hot code); 0 none.
    int m_nHotCode = 0;

    // A picture's place in the art: side by side in one bitmap, x from the left, at the top.
    struct Picture {
        int id = 0;
        int x = 0;
        GameImageSize size;
    };

    const Picture* Find(int id) const noexcept;
    CaptionButtonRects ButtonRects() const noexcept;
    POINT ToWindow(POINT screen) const noexcept;

    HWND m_hwnd = nullptr;
    std::vector<Picture> m_pictures;
    // Every picture in one bitmap, kept selected in one memory device context for the window's
    // life: a paint draws from it straight away (the context goes before the bitmap).
    UniqueBitmap m_art;
    UniqueMemoryDc m_artDc;
    // The measured sizes of the pictures that enter the layout.
    GameFrameImageSizes m_sizes;
};

} // namespace kelvo
