// The main window: a borderless per-pixel-alpha picture of the frame with seven picture buttons,
// carrying the login dialog over its content area. It runs modally for the program's life.
#pragma once

#include "res/resource.h"
#include "frame/core/FrameButton.h"
#include "frame/core/FrameCompositor.h"
#include "frame/core/FrameLayout.h"
#include "framework/CDialog.h"
#include "framework/Handles.h"

#include <array>
#include <memory>
#include <optional>

namespace kelvo {

class CtarvinDlg;

class bgDialog : public CDialog {
public:
    enum { IDD = IDD_FRAME };

    explicit bgDialog(CWnd* pParent = nullptr);
    ~bgDialog() override;

    BOOL PreTranslateMessage(MSG* pMsg) override;
    // Draws the frame and its buttons and hands the image to the window system; the result of
    // UpdateLayeredWindow.
    BOOL ComposeFrame();

    CtarvinDlg* GetLoginDialog() const noexcept { return m_pLoginDlg.get(); }
    const FrameButtons& GetButtons() const noexcept { return m_buttons; }
    int GetFrameWidth() const noexcept { return m_nWidth; }
    int GetFrameHeight() const noexcept { return m_nHeight; }
    BYTE GetConstantAlpha() const noexcept { return m_blend.SourceConstantAlpha; }

protected:
    BOOL OnInitDialog() override;
    // Only a close request (the close button, the login dialog, the system) ends the frame's run,
    // and with it the program; OK and Cancel, from the dialog keyboard handling or posted by
    // anything, end nothing.
    void OnOK() override {}
    void OnCancel() override {}
    void OnClose();
    int OnCreate(LPCREATESTRUCTW lpCreateStruct);
    void OnMove(int x, int y);
    BOOL OnEraseBkgnd(HDC hdc);
    void OnMouseMove(UINT flags, POINT point);
    void OnLButtonDown(UINT flags, POINT point);
    void OnLButtonUp(UINT flags, POINT point);
    BOOL OnSetCursor(HWND hwnd, UINT hitTest, UINT message);

    DECLARE_MESSAGE_MAP()

private:
    struct ButtonImages {
        std::optional<PixelImage> normal;
        std::optional<PixelImage> hover;
        std::optional<PixelImage> pressed;
    };

    void LoadButtons();
    // Brings the shown image up to date after button states changed: redraws only the changed
    // buttons' region and hands the image over; does nothing when nothing visible changed.
    BOOL RefreshFrame();
    bool EnsureSurface();
    std::array<ButtonPictures, kFrameButtonCount> ButtonPictureSet() const noexcept;
    BOOL ShowSurface();
    void PlaceLoginDialog(int x, int y) const noexcept;
    void RunButtonAction(FrameAction action);

    HICON m_hIcon = nullptr;
    std::unique_ptr<CtarvinDlg> m_pLoginDlg;
    BLENDFUNCTION m_blend{};
    PixelImage m_imgFrame;
    int m_nWidth = 0;
    int m_nHeight = 0;
    FrameButtons m_buttons{};
    std::array<ButtonImages, kFrameButtonCount> m_buttonImages;
    // The composition surface, kept for the frame's life: a 32-bit top-down section selected into
    // a memory context. Declared in this order so that the selection is undone first, then the
    // context deleted, then the section.
    UniqueBitmap m_surface;
    UniqueMemoryDc m_surfaceDc;
    std::optional<SelectedObject> m_surfaceSelection;
    std::uint32_t* m_pSurfaceBits = nullptr;
    // What the window system shows: the button states and place of the last handed image.
    FrameButtons m_shownButtons{};
    POINT m_ptShown{};
    bool m_bShown = false;
};

} // namespace kelvo
