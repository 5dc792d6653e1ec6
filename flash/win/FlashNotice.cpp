#include "flash/win/FlashNotice.h"

#include "framework/InstalledFace.h"

namespace kelvo {

namespace {

const wchar_t kNoticeClass[] = L"KelvoFlashNotice";
constexpr COLORREF kBackground = RGB(16, 4, 2);
constexpr COLORREF kTitleColour = RGB(255, 214, 150);
constexpr COLORREF kTextColour = RGB(225, 215, 205);

bool RegisterNoticeClass() noexcept {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (::GetClassInfoExW(::GetModuleHandleW(nullptr), kNoticeClass, &existing))
        return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kNoticeClass;
    return ::RegisterClassExW(&wc) != 0;
}

// The first installed face with both Chinese and Latin glyphs: a face picked by character set
// alone may lack the Latin letters of "Flash Player".
const wchar_t* NoticeFace() noexcept {
    const wchar_t* face =
        FirstInstalledFace({L"Microsoft YaHei", L"SimSun", L"WenQuanYi Micro Hei", L"Noto Sans CJK SC"});
    return face ? face : L"Microsoft YaHei";
}

HFONT NoticeFont(int height, int weight, const wchar_t* face) noexcept {
    return ::CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, face);
}

} // namespace

// "No Flash Player was found" / "This game runs in Flash Player, which is not installed on this
// computer." / "Install Flash Player, then press F5 to load the game again." or "Install Flash
// Player, then leave the game and enter it again from the login page."
const wchar_t* const FlashNotice::kTitle = L"\u672A\u627E\u5230 Flash Player";
const wchar_t* const FlashNotice::kReason =
    L"\u672C\u6E38\u620F\u9700\u8981 Flash Player \u624D\u80FD\u8FD0\u884C\uFF0C"
    L"\u4F46\u8FD9\u53F0\u7535\u8111\u4E0A\u6CA1\u6709\u5B89\u88C5 Flash Player\u3002";
const wchar_t* const FlashNotice::kAdvicePressF5 =
    L"\u8BF7\u5B89\u88C5 Flash Player \u540E\u6309 F5 \u91CD\u65B0\u8F7D\u5165\u6E38\u620F\u3002";
const wchar_t* const FlashNotice::kAdviceEnterAgain =
    L"\u8BF7\u5B89\u88C5 Flash Player \u540E\u79BB\u5F00\u6E38\u620F\uFF0C"
    L"\u518D\u4ECE\u767B\u5F55\u9875\u9762\u91CD\u65B0\u8FDB\u5165\u3002";

BEGIN_MESSAGE_MAP(FlashNotice, CWnd)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

BOOL FlashNotice::Create(CWnd* pParentWnd, const RECT& rect, UINT id, bool reloadable) {
    if (!pParentWnd || !pParentWnd->m_hWnd || !RegisterNoticeClass())
        return FALSE;
    m_strText = std::wstring(kReason) + L"\r\n" + (reloadable ? kAdvicePressF5 : kAdviceEnterAgain);
    const wchar_t* face = NoticeFace();
    m_fontTitle.reset(NoticeFont(26, FW_BOLD, face));
    m_fontText.reset(NoticeFont(17, FW_NORMAL, face));
    return CreateEx(0, kNoticeClass, kTitle, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, rect,
                    pParentWnd->m_hWnd, id);
}

BOOL FlashNotice::OnEraseBkgnd(HDC) {
    return TRUE; // everything is painted in OnPaint
}

void FlashNotice::OnPaint() {
    PaintDc dc(m_hWnd);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    UniqueBrush background(::CreateSolidBrush(kBackground));
    ::FillRect(dc.get(), &client, background.get());
    ::SetBkMode(dc.get(), TRANSPARENT);

    // The title a little above the middle, the explanation under it.
    const int middle = (client.bottom - client.top) / 2;
    RECT title{client.left + 20, middle - 60, client.right - 20, middle - 16};
    {
        SelectedObject font(dc.get(), m_fontTitle.get());
        ::SetTextColor(dc.get(), kTitleColour);
        ::DrawTextW(dc.get(), kTitle, -1, &title, DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    RECT text{client.left + 20, middle, client.right - 20, client.bottom - 10};
    SelectedObject font(dc.get(), m_fontText.get());
    ::SetTextColor(dc.get(), kTextColour);
    ::DrawTextW(dc.get(), m_strText.c_str(), static_cast<int>(m_strText.size()), &text,
                DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
}

} // namespace kelvo
