#include "game/win/GameCaption.h"

#include "framework/CWinApp.h"
#include "framework/ScreenRect.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace kelvo {

namespace {

// Every picture the frame draws: the frame's own and each caption button's in every look.
std::vector<int> FramePictureIds() {
    std::vector<int> ids = {kImgCaptionMiddle, kImgCaptionLeft, kImgCaptionRight,      kImgBorderLeft,
                            kImgBorderBottom,  kImgBorderRight, kImgCornerBottomRight, kImgCornerBottomLeft};
    for (const CaptionButtonLayout& b : kCaptionButtonLayouts) {
        for (int id :
             {b.normalId, b.hoverId, b.pressedId, b.restoreNormalId, b.restoreHoverId, b.restorePressedId})
            if (id != 0)
                ids.push_back(id);
    }
    return ids;
}

} // namespace

void GameCaption::Open(HWND window) {
    m_hwnd = window;
    m_nButtonState = {};
    m_bPressed = false;
    m_nHotCode = 0;
    m_nBorderWidth = kGameBorderWidth;
    m_nCaptionHeight = kGameCaptionHeight;
    // "SimSun" by its Chinese name, which is how the face is registered on Chinese systems.
    m_fontTitle.reset(::CreateFontW(12, 7, 0, 0, 600, FALSE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0x10, L"\u5B8B\u4F53"));

    m_pictures.clear();
    std::vector<UniqueBitmap> loaded;
    int width = 0, height = 0;
    for (int id : FramePictureIds()) {
        Picture picture;
        picture.id = id;
        UniqueBitmap bitmap(::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id)));
        BITMAP info{};
        if (bitmap && ::GetObjectW(bitmap.get(), sizeof(info), &info) && info.bmWidth > 0 &&
            info.bmHeight > 0) {
            picture.size = {info.bmWidth, info.bmHeight};
            picture.x = width;
            width += info.bmWidth;
            height = std::max(height, static_cast<int>(info.bmHeight));
        }
        m_pictures.push_back(picture);
        loaded.push_back(std::move(bitmap));
    }
    m_artDc.reset();
    m_art.reset();
    WindowDc screen(m_hwnd, WindowDc::Area::Whole);
    if (screen && width > 0) {
        m_art.reset(::CreateCompatibleBitmap(screen.get(), width, height));
        m_artDc.reset(::CreateCompatibleDC(screen.get()));
        UniqueMemoryDc source(::CreateCompatibleDC(screen.get()));
        if (!m_art || !m_artDc || !source) {
            m_artDc.reset();
            m_art.reset();
        } else {
            ::SelectObject(m_artDc.get(), m_art.get());
            for (std::size_t i = 0; i < m_pictures.size(); ++i) {
                const Picture& p = m_pictures[i];
                if (p.size.width <= 0)
                    continue;
                SelectedObject selected(source.get(), loaded[i].get());
                ::BitBlt(m_artDc.get(), p.x, 0, p.size.width, p.size.height, source.get(), 0, 0, SRCCOPY);
            }
        }
    }
    // The layout follows the pictures as they are; one that is missing keeps its made size.
    m_sizes = {};
    const struct {
        int id;
        GameImageSize GameFrameImageSizes::*size;
    } measured[] = {
        {kImgCaptionLeft, &GameFrameImageSizes::captionLeft},
        {kImgCaptionRight, &GameFrameImageSizes::captionRight},
        {kImgBorderLeft, &GameFrameImageSizes::borderLeft},
        {kImgBorderRight, &GameFrameImageSizes::borderRight},
        {kImgBorderBottom, &GameFrameImageSizes::borderBottom},
        {kImgCornerBottomLeft, &GameFrameImageSizes::cornerBottomLeft},
        {kImgCornerBottomRight, &GameFrameImageSizes::cornerBottomRight},
    };
    for (const auto& m : measured) {
        const Picture* picture = Find(m.id);
        if (picture && picture->size.width > 0)
            m_sizes.*m.size = picture->size;
    }
}

void GameCaption::Close() noexcept {
    m_hwnd = nullptr;
    m_pictures.clear();
    m_artDc.reset();
    m_art.reset();
    m_fontTitle.reset();
}

const GameCaption::Picture* GameCaption::Find(int id) const noexcept {
    for (const Picture& picture : m_pictures) {
        if (picture.id == id)
            return m_artDc && picture.size.width > 0 && picture.size.height > 0 ? &picture : nullptr;
    }
    return nullptr;
}

void GameCaption::Paint(bool maximized, Part part, HDC target) {
    if (!m_hwnd)
        return;
    const RECT window = WindowRect(m_hwnd);
    // The buttons follow the real window width; the frame is clamped to the work area.
    const CaptionButtonRects rects = LayoutCaptionButtons(window.right - window.left);
    for (std::size_t i = 0; i < kCaptionButtonCount; ++i)
        m_rcButton[i] = {rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};

    std::optional<WindowDc> own;
    if (!target) {
        own.emplace(m_hwnd, WindowDc::Area::Whole);
        target = own->get();
    }
    if (!target)
        return;
    // Copies a whole picture, stretched, onto the destination rectangle.
    const auto draw = [&](int id, const GameRect& dest) {
        const Picture* picture = Find(id);
        if (!picture)
            return;
        ::StretchBlt(target, dest.left, dest.top, dest.Width(), dest.Height(), m_artDc.get(), picture->x, 0,
                     picture->size.width, picture->size.height, SRCCOPY);
    };

    if (part == Part::Whole) {
        const RECT work = WorkArea();
        for (const GameFramePiece& piece :
             LayoutGameFrame(window.right - window.left, window.bottom - window.top, work.right - work.left,
                             work.bottom - work.top, m_sizes))
            draw(piece.imageId, piece.dest);

        if (!m_strCaptionTitle.empty()) {
            ::SetBkMode(target, TRANSPARENT);
            ::SetTextColor(target, m_clrTitle);
            ::SetTextAlign(target, TA_CENTER | TA_TOP);
            SelectedObject font(target, m_fontTitle.get());
            ::TextOutW(target, kGameTitleCentreX, m_nCaptionHeight / 3, m_strCaptionTitle.c_str(),
                       static_cast<int>(m_strCaptionTitle.size()));
        }
    }

    for (std::size_t i = 0; i < kCaptionButtonCount; ++i)
        draw(CaptionButtonImage(i, m_nButtonState[i], maximized), rects[i]);
}

CaptionButtonRects GameCaption::ButtonRects() const noexcept {
    // The places a paint at the current width stores in m_rcButton; taken from the layout so that
    // tracking is right even before the first paint after a resize.
    const RECT window = WindowRect(m_hwnd);
    return LayoutCaptionButtons(window.right - window.left);
}

POINT GameCaption::ToWindow(POINT screen) const noexcept {
    const RECT window = WindowRect(m_hwnd);
    return {screen.x - window.left, screen.y - window.top};
}

LRESULT GameCaption::HitTest(POINT screen, LRESULT defaultCode) {
    const RECT window = WindowRect(m_hwnd);
    const GameHitResult hit =
        GameHitTest(screen.x, screen.y, {window.left, window.top, window.right, window.bottom},
                    static_cast<int>(defaultCode));
    if (hit.clearHot)
        m_nHotCode = 0;
    return hit.code;
}

bool GameCaption::Press(POINT screen) {
    const POINT at = ToWindow(screen);
    return CaptionButtonsPress(m_nButtonState, m_bPressed, ButtonRects(), at.x, at.y);
}

CaptionAction GameCaption::Click() {
    return CaptionButtonsClick(m_nButtonState, m_bPressed, m_nHotCode);
}

bool GameCaption::Hover(POINT screen) {
    const POINT at = ToWindow(screen);
    return CaptionButtonsHover(m_nButtonState, m_nHotCode, ButtonRects(), at.x, at.y);
}

} // namespace kelvo
