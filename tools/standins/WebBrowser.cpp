#include "WebBrowser.h"

#include "Background.h"
#include "Common.h"
#include "ControlBase.h"
#include "Document.h"
#include "Fetch.h"
#include "Html.h"
#include "Log.h"

#include <exdisp.h>
#include <ocidl.h>
#include <olectl.h>
#include <windowsx.h>

#include <memory>
#include <vector>

namespace standins {
namespace {

constexpr DISPID kDispidNavigate = 104;
constexpr DISPID kDispidDocument = 203;
constexpr DISPID kDispidDocumentComplete = 259;

// Posted to the work window by a background load: wParam its navigation's serial, lParam the
// LoadedPage.
constexpr UINT kMsgLoaded = WM_APP + 0x51;

const wchar_t kViewClass[] = L"KelvoStandinBrowserView";
const wchar_t kWorkClass[] = L"KelvoStandinBrowserWork";

constexpr COLORREF kBackground = RGB(250, 250, 246);
constexpr COLORREF kTextColour = RGB(32, 32, 32);
constexpr COLORREF kLinkColour = RGB(0, 0, 204);
constexpr COLORREF kFrameColour = RGB(170, 170, 170);
constexpr int kMargin = 10;

class Font {
public:
    Font(int height, bool bold, bool underline)
        : m_h(::CreateFontW(-height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, underline, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                            DEFAULT_PITCH, PageFontFace())) {}
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    ~Font() { ::DeleteObject(m_h); }
    HFONT get() const { return m_h; }

private:
    HFONT m_h;
};

// A loaded page: its address and what the view shows of it.
struct ShownPage {
    std::wstring url;
    Page page;
};

// What a background load brings back: the page, the frames the view shows (one level), and the
// final address of every frame, frames of frames first, in the order their DocumentComplete goes.
struct LoadedPage {
    ShownPage top;
    std::vector<ShownPage> shown;
    std::vector<std::wstring> frameCompletions;
};

// Frames of frames are loaded for their events only.
void LoadInnerFrames(const Page& page, const std::wstring& base, int depth, std::vector<std::wstring>& done) {
    if (depth > 3)
        return;
    for (const std::wstring& src : page.frames) {
        const FetchResult inner = Fetch(ResolveUrl(base, src));
        LoadInnerFrames(ParseHtml(inner.html), inner.finalUrl, depth + 1, done);
        done.push_back(inner.finalUrl);
    }
}

// Runs on a load's own thread: nothing here touches the control.
std::unique_ptr<LoadedPage> LoadWithFrames(const std::wstring& url) {
    auto loaded = std::make_unique<LoadedPage>();
    const FetchResult top = Fetch(url);
    loaded->top = ShownPage{top.finalUrl, ParseHtml(top.html)};
    for (const std::wstring& src : loaded->top.page.frames) {
        const FetchResult frame = Fetch(ResolveUrl(top.finalUrl, src));
        Page framePage = ParseHtml(frame.html);
        LoadInnerFrames(framePage, frame.finalUrl, 1, loaded->frameCompletions);
        loaded->frameCompletions.push_back(frame.finalUrl);
        loaded->shown.push_back(ShownPage{frame.finalUrl, std::move(framePage)});
    }
    return loaded;
}

// One clickable area of the last paint.
struct Hit {
    RECT rect;
    int page; // -1 the top page, else the index of its frame
    PageItem* item;
};

class WebBrowser final : public ControlBase {
public:
    WebBrowser()
        : ControlBase(CLSID_WebBrowser, DIID_DWebBrowserEvents2, kViewClass, kWorkClass, L"browser") {}

    // IDispatch: only the members the launcher calls, by DISPID.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids)
            return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            if (lstrcmpiW(names[i], L"Navigate") == 0 && i == 0)
                ids[i] = kDispidNavigate;
            else if (lstrcmpiW(names[i], L"Document") == 0 && i == 0)
                ids[i] = kDispidDocument;
            else {
                ids[i] = DISPID_UNKNOWN;
                hr = DISP_E_UNKNOWNNAME;
            }
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT* argError) override {
        if (!Live(L"Invoke"))
            return E_UNEXPECTED;
        if (id == kDispidNavigate && (flags & DISPATCH_METHOD)) {
            if (!params || params->cArgs < 1 || !params->rgvarg)
                return DISP_E_BADPARAMCOUNT;
            // Arguments arrive last first: the address is the first argument, rgvarg[cArgs - 1]. Flags,
            // target frame, post data and headers are accepted in any form and not used.
            std::wstring url;
            if (!VariantText(&params->rgvarg[params->cArgs - 1], url)) {
                if (argError)
                    *argError = params->cArgs - 1;
                return DISP_E_TYPEMISMATCH;
            }
            Navigate(url);
            if (result)
                ::VariantInit(result);
            return S_OK;
        }
        if (id == kDispidDocument && (flags & DISPATCH_PROPERTYGET)) {
            if (!result)
                return E_POINTER;
            ::VariantInit(result);
            V_VT(result) = VT_DISPATCH;
            V_DISPATCH(result) = m_document.get();
            if (m_document)
                m_document->AddRef();
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

protected:
    bool OnWorkMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message != kMsgLoaded)
            return false;
        std::unique_ptr<LoadedPage> loaded = TakeResult<LoadedPage>(lParam);
        // A load superseded by a later navigation shows nothing and raises nothing.
        if (loaded && static_cast<unsigned>(wParam) == m_serial)
            Complete(static_cast<unsigned>(wParam), std::move(loaded));
        return true;
    }
    void OnAcceleratorOffered(const MSG& msg) override {
        // Keys are recorded and left for normal dispatch, where they reach the view window (and
        // the focused field of the page).
        if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
            LogKey(msg);
            m_lastKey = msg;
        }
    }
    void OnViewGone() override { m_hits.clear(); }

private:
    // Returns at once, as the real control does: the page and its frames load on a thread of their
    // own, and only this thread raises their events, once they are all in. A navigation supersedes
    // the one still loading or completing, which then raises nothing more.
    void Navigate(const std::wstring& url) {
        LogLine(L"navigate " + url);
        if (m_loading)
            LogLine(L"superseded " + m_pendingUrl);
        m_loading = true;
        m_pendingUrl = url;
        const unsigned serial = ++m_serial;
        const HWND work = Work();
        if (!RunInBackground(
                [url, work, serial] { PostResult(work, kMsgLoaded, serial, LoadWithFrames(url)); })) {
            // No thread for the load: it fails as a load without a connection does.
            auto failed = std::make_unique<LoadedPage>();
            failed->top.url = ErrorPageUrl(url, 0);
            PostResult(work, kMsgLoaded, serial, std::move(failed));
        }
    }

    // Shows the loaded page, then raises DocumentComplete for each frame and last for the page. A
    // navigation started by an event handler supersedes the rest.
    void Complete(unsigned serial, std::unique_ptr<LoadedPage> loaded) {
        const Ref<IDispatch> keepAlive = HoldSelf();
        m_top = std::make_unique<ShownPage>(std::move(loaded->top));
        m_frames.clear();
        for (ShownPage& frame : loaded->shown)
            m_frames.push_back(std::make_unique<ShownPage>(std::move(frame)));
        m_hits.clear();
        m_focus = nullptr;
        m_pressed = -1;
        m_document = CreateDocument(m_top->url, m_top->page.title, PlainText(m_top->page));
        Repaint();
        // Copies: a handler that runs a modal loop may start and finish another load meanwhile.
        const std::wstring topUrl = m_top->url;
        for (const std::wstring& frame : loaded->frameCompletions) {
            RaiseDocumentComplete(frame);
            if (serial != m_serial)
                return;
        }
        // A navigation from the page's own handler is a new load, not a superseded one.
        m_loading = false;
        RaiseDocumentComplete(topUrl);
    }

    void RaiseDocumentComplete(const std::wstring& url) {
        LogLine(L"complete " + url);
        VARIANT address;
        ::VariantInit(&address);
        V_VT(&address) = VT_BSTR;
        V_BSTR(&address) = MakeBstr(url);
        VARIANTARG args[2];
        ::VariantInit(&args[0]);
        ::VariantInit(&args[1]);
        V_VT(&args[1]) = VT_DISPATCH;
        V_DISPATCH(&args[1]) = static_cast<IDispatch*>(this);
        V_VT(&args[0]) = VT_VARIANT | VT_BYREF;
        V_VARIANTREF(&args[0]) = &address;
        DISPPARAMS params{args, nullptr, 2, 0};
        RaiseEvent(kDispidDocumentComplete, params);
        ::VariantClear(&address);
    }

    static std::wstring PlainText(const Page& page) {
        std::wstring text;
        for (const auto& line : page.lines) {
            std::wstring row;
            for (const auto& item : line.items)
                if (item.kind != PageItem::Kind::Frame && !item.hidden)
                    row += (row.empty() ? L"" : L" ") + item.text;
            if (!row.empty())
                text += (text.empty() ? L"" : L"\r\n") + row;
        }
        return text;
    }

    void LogKey(const MSG& msg) { LogLine(L"key " + std::to_wstring(msg.wParam)); }

    bool OnViewMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        switch (message) {
        case WM_LBUTTONDOWN:
            ::SetFocus(hwnd);
            UIActivate();
            m_pressed = HitAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return false;
        case WM_LBUTTONUP: {
            const int hit = HitAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            if (hit >= 0 && hit == m_pressed)
                Activate(m_hits[static_cast<size_t>(hit)]);
            m_pressed = -1;
            return false;
        }
        case WM_GETDLGCODE:
            // Keys, Enter and Tab included, belong to the page while it has the focus.
            result = DLGC_WANTALLKEYS | DLGC_WANTCHARS | DLGC_WANTTAB;
            return true;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            MSG msg{hwnd, message, wParam, lParam, static_cast<DWORD>(::GetMessageTime()), {}};
            // A key the host already passed through TranslateAccelerator is recorded once.
            if (!(m_lastKey.message == message && m_lastKey.wParam == wParam && m_lastKey.lParam == lParam &&
                  m_lastKey.time == msg.time))
                LogKey(msg);
            m_lastKey = MSG{};
            if (message == WM_KEYDOWN && wParam == VK_RETURN && m_focus && m_focusForm >= 0)
                Submit(m_focusPage, m_focusForm, nullptr);
            return false;
        }
        case WM_CHAR:
            if (m_focus && m_focus->kind == PageItem::Kind::Field) {
                if (wParam == VK_BACK) {
                    if (!m_focus->text.empty())
                        m_focus->text.pop_back();
                } else if (wParam >= 0x20) {
                    m_focus->text += static_cast<wchar_t>(wParam);
                }
                Repaint();
            }
            return true;
        default:
            return false;
        }
    }

    int HitAt(int x, int y) const override { return HitIndex(m_hits, x, y); }

    const ShownPage* PageOf(int index) const {
        if (index < 0)
            return m_top.get();
        return static_cast<size_t>(index) < m_frames.size() ? m_frames[static_cast<size_t>(index)].get()
                                                            : nullptr;
    }

    void Activate(const Hit& hit) {
        const ShownPage* shown = PageOf(hit.page);
        if (!shown)
            return;
        PageItem& item = *hit.item;
        switch (item.kind) {
        case PageItem::Kind::Link:
            if (item.href.compare(0, 11, L"javascript:") != 0)
                Navigate(ResolveUrl(shown->url, item.href));
            break;
        case PageItem::Kind::Button:
            if (item.submit && item.form >= 0)
                Submit(hit.page, item.form, &item);
            break;
        case PageItem::Kind::Field:
            m_focus = &item;
            m_focusPage = hit.page;
            m_focusForm = item.form;
            Repaint();
            break;
        default:
            break;
        }
    }

    void Submit(int pageIndex, int form, const PageItem* pressed) {
        const ShownPage* shown = PageOf(pageIndex);
        if (shown && form >= 0 && static_cast<size_t>(form) < shown->page.forms.size())
            Navigate(FormSubmitUrl(shown->url, shown->page, form, pressed));
    }

    // Paint: title, then each line of the page left to right, wrapping at the window's edge; frames
    // are drawn in place, inside a thin border.
    class Painter {
    public:
        Painter(WebBrowser& owner, HDC dc, int width)
            : m_owner(owner), m_dc(dc), m_right(width - kMargin), m_text(16, false, false),
              m_link(16, false, true), m_bold(19, true, false) {
            ::SetBkMode(dc, TRANSPARENT);
            ::SelectObject(dc, m_text.get());
            TEXTMETRICW tm{};
            ::GetTextMetricsW(dc, &tm);
            m_lineHeight = tm.tmHeight + 8;
        }

        void DrawPage(ShownPage& shown, int pageIndex, int left, int right) {
            if (!shown.page.title.empty() && pageIndex < 0) {
                ::SelectObject(m_dc, m_bold.get());
                ::SetTextColor(m_dc, kTextColour);
                RECT r{left, m_y, right, m_y + m_lineHeight + 4};
                ::DrawTextW(m_dc, shown.page.title.c_str(), static_cast<int>(shown.page.title.size()), &r,
                            DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX | DT_VCENTER);
                m_y += m_lineHeight + 4;
                HPEN pen = ::CreatePen(PS_SOLID, 1, kFrameColour);
                const HGDIOBJ old = ::SelectObject(m_dc, pen);
                ::MoveToEx(m_dc, left, m_y, nullptr);
                ::LineTo(m_dc, right, m_y);
                ::SelectObject(m_dc, old);
                ::DeleteObject(pen);
                m_y += 6;
            }
            for (auto& line : shown.page.lines) {
                int x = left;
                for (auto& item : line.items)
                    x = DrawItem(item, pageIndex, line.heading, left, right, x);
                m_y += m_lineHeight;
            }
        }

    private:
        int DrawItem(PageItem& item, int pageIndex, bool heading, int left, int right, int x) {
            switch (item.kind) {
            case PageItem::Kind::Text:
            case PageItem::Kind::Link:
                return DrawRun(item, pageIndex, heading, left, right, x);
            case PageItem::Kind::Button:
            case PageItem::Kind::Field:
                return item.hidden ? x : DrawBox(item, pageIndex, left, right, x);
            case PageItem::Kind::Frame:
                DrawFrame(pageIndex, left, right);
                return left;
            }
            return x;
        }

        int DrawRun(PageItem& item, int pageIndex, bool heading, int left, int right, int x) {
            const bool link = item.kind == PageItem::Kind::Link;
            ::SelectObject(m_dc, link ? m_link.get() : heading ? m_bold.get() : m_text.get());
            ::SetTextColor(m_dc, link ? kLinkColour : kTextColour);
            const std::wstring& text = item.text;
            size_t pos = 0;
            while (pos < text.size()) {
                int fit = 0;
                SIZE size{};
                const int remaining = static_cast<int>(text.size() - pos);
                ::GetTextExtentExPointW(m_dc, text.c_str() + pos, remaining, std::max(right - x, 0), &fit,
                                        nullptr, &size);
                if (fit == 0 && x > left) {
                    x = left;
                    m_y += m_lineHeight;
                    continue;
                }
                fit = std::max(fit, 1);
                // Prefer to wrap at a space when the run does not fit.
                if (fit < remaining) {
                    const size_t space = text.rfind(L' ', pos + static_cast<size_t>(fit));
                    if (space != std::wstring::npos && space > pos)
                        fit = static_cast<int>(space - pos + 1);
                }
                ::GetTextExtentPoint32W(m_dc, text.c_str() + pos, fit, &size);
                ::TextOutW(m_dc, x, m_y + 4, text.c_str() + pos, fit);
                if (link)
                    m_owner.m_hits.push_back({{x, m_y, x + size.cx, m_y + m_lineHeight}, pageIndex, &item});
                x += size.cx;
                pos += static_cast<size_t>(fit);
                if (pos < text.size()) {
                    x = left;
                    m_y += m_lineHeight;
                }
            }
            return x;
        }

        int DrawBox(PageItem& item, int pageIndex, int left, int right, int x) {
            ::SelectObject(m_dc, m_text.get());
            const bool field = item.kind == PageItem::Kind::Field;
            const std::wstring shown =
                field && item.secret ? std::wstring(item.text.size(), L'*') : item.text;
            SIZE size{};
            ::GetTextExtentPoint32W(m_dc, shown.c_str(), static_cast<int>(shown.size()), &size);
            const int width = field ? std::max<int>(size.cx + 12, 160) : size.cx + 20;
            if (x > left && x + width > right) {
                x = left;
                m_y += m_lineHeight;
            }
            if (x > left)
                x += 4;
            RECT box{x, m_y + 1, x + width, m_y + m_lineHeight - 1};
            const bool focused = m_owner.m_focus == &item;
            HBRUSH fill = ::CreateSolidBrush(field ? RGB(255, 255, 255) : RGB(225, 225, 225));
            ::FillRect(m_dc, &box, fill);
            ::DeleteObject(fill);
            HBRUSH border = ::CreateSolidBrush(focused ? kLinkColour : RGB(120, 120, 120));
            ::FrameRect(m_dc, &box, border);
            ::DeleteObject(border);
            ::SetTextColor(m_dc, kTextColour);
            RECT textRect{box.left + 6, box.top, box.right - 6, box.bottom};
            ::DrawTextW(m_dc, shown.c_str(), static_cast<int>(shown.size()), &textRect,
                        DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (field ? DT_LEFT : DT_CENTER));
            if (focused) {
                const int caret = std::min<int>(textRect.left + size.cx + 1, box.right - 3);
                RECT bar{caret, box.top + 4, caret + 1, box.bottom - 4};
                ::FillRect(m_dc, &bar, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
            }
            m_owner.m_hits.push_back({box, pageIndex, &item});
            return box.right + 4;
        }

        void DrawFrame(int pageIndex, int left, int right) {
            if (pageIndex >= 0)
                return; // one level of frames is shown
            const size_t index = m_frameCount++;
            const int top = m_y;
            m_y += 4;
            if (index < m_owner.m_frames.size())
                DrawPage(*m_owner.m_frames[index], static_cast<int>(index), left + 8, right - 8);
            else
                m_y += m_lineHeight;
            RECT border{left, top, right, m_y + 2};
            HBRUSH brush = ::CreateSolidBrush(kFrameColour);
            ::FrameRect(m_dc, &border, brush);
            ::DeleteObject(brush);
            m_y += 6 - m_lineHeight; // the caller adds a line after the item
        }

        WebBrowser& m_owner;
        HDC m_dc;
        int m_right;
        int m_y = 8;
        int m_lineHeight = 24;
        size_t m_frameCount = 0;
        Font m_text;
        Font m_link;
        Font m_bold;

    public:
        int Right() const { return m_right; }
    };

    COLORREF Background() const override { return kBackground; }

    void Draw(HWND, HDC dc, const RECT& client) override {
        m_hits.clear();
        if (m_top) {
            // The painter's fonts go with it: the context's own font is back in before that.
            const HGDIOBJ oldFont = ::GetCurrentObject(dc, OBJ_FONT);
            Painter painter(*this, dc, client.right);
            painter.DrawPage(*m_top, -1, kMargin, painter.Right());
            ::SelectObject(dc, oldFont);
        }
    }

    std::wstring m_pendingUrl;
    unsigned m_serial = 0;
    // A navigation has not yet raised the page's DocumentComplete.
    bool m_loading = false;
    std::unique_ptr<ShownPage> m_top;
    std::vector<std::unique_ptr<ShownPage>> m_frames;
    Ref<IDispatch> m_document;

    std::vector<Hit> m_hits;
    int m_pressed = -1;
    PageItem* m_focus = nullptr;
    int m_focusPage = -1;
    int m_focusForm = -1;
    MSG m_lastKey{};
};

} // namespace

HRESULT CreateWebBrowser(REFIID iid, void** out) {
    return CreateControl<WebBrowser>(iid, out);
}

void UnregisterWebBrowserClasses() {
    ControlBase::UnregisterClasses(kViewClass, kWorkClass);
}

} // namespace standins
