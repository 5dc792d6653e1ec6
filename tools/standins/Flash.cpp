#include "Flash.h"

#include "Background.h"
#include "Common.h"
#include "ControlBase.h"
#include "Fetch.h"
#include "Log.h"

#include <windowsx.h>

#include <algorithm>
#include <utility>

namespace standins {

// {D27CDB6E-AE6D-11CF-96B8-444553540000}
const CLSID CLSID_ShockwaveFlashStandin = {
    0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

namespace {

// {D27CDB6D-AE6D-11CF-96B8-444553540000}: the control's event interface.
const IID DIID_ShockwaveFlashEvents = {
    0xD27CDB6D, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

constexpr DISPID kDispidReadyStateChange = -609;
constexpr DISPID kDispidFlashCall = 197;
constexpr DISPID kDispidPlay = 112;
constexpr DISPID kDispidStop = 113;
constexpr DISPID kDispidLoadMovie = 142;
constexpr DISPID kDispidCallFunction = 198;

// The property puts, by DISPID.
struct PropertyName {
    DISPID id;
    const wchar_t* name;
};
constexpr PropertyName kProperties[] = {
    {135, L"Menu"},  {202, L"AllowFullScreen"}, {171, L"AllowScriptAccess"},
    {133, L"WMode"}, {123, L"BackgroundColor"}, {170, L"FlashVars"},
};

// Work window messages: the creation's ready state, a load (wParam: its serial), a script step, a
// fetched movie (wParam: its load's serial, lParam: the FetchResult).
constexpr UINT kMsgCreated = WM_APP + 0x61;
constexpr UINT kMsgLoad = WM_APP + 0x62;
constexpr UINT kMsgStep = WM_APP + 0x63;
constexpr UINT kMsgFetched = WM_APP + 0x64;
constexpr UINT_PTR kTimerWait = 1;

const wchar_t kViewClass[] = L"KelvoStandinFlashView";
const wchar_t kWorkClass[] = L"KelvoStandinFlashWork";

constexpr int kMargin = 12;
constexpr std::size_t kShownLines = 14;

// The host functions of the launcher's bridge, and one it does not know.
struct ViewButton {
    const wchar_t* label;
    const wchar_t* request;
};
const ViewButton kButtons[] = {
    {L"reload", L"<invoke name=\"reload\" returntype=\"xml\"><arguments></arguments></invoke>"},
    {L"setReloadTips", L"<invoke name=\"setReloadTips\" returntype=\"xml\"><arguments><string>"
                       L"\u60A8\u786E\u5B9A\u8981\u79BB\u5F00\u6F14\u793A\u6E38\u620F\u5417?"
                       L"</string></arguments></invoke>"},
    {L"setWindowMax", L"<invoke name=\"setWindowMax\" returntype=\"xml\"><arguments></arguments></invoke>"},
    {L"disconnection", L"<invoke name=\"disconnection\" returntype=\"xml\"><arguments></arguments></invoke>"},
    {L"noSuchFunction",
     L"<invoke name=\"noSuchFunction\" returntype=\"xml\"><arguments></arguments></invoke>"},
};

// Window property of the view with the centre of a button, MAKELONG(x, y) in client coordinates,
// for tools and tests that click it.
// Where this control runs from, for the person watching the demo: its file, and whether its class
// is registered at all (a publisher's copy beside the launcher is used without registration).
std::wstring Origin() {
    wchar_t path[MAX_PATH] = L"";
    ::GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
    wchar_t server[MAX_PATH] = L"";
    DWORD size = sizeof(server);
    const std::wstring key =
        L"Software\\Classes\\CLSID\\" + GuidString(CLSID_ShockwaveFlashStandin) + L"\\InprocServer32";
    const bool registered = ::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                                           server, &size) == ERROR_SUCCESS;
    return std::wstring(L"Runs from: ") + path +
           (registered ? L"  (class registered)" : L"  (class not registered)");
}

std::wstring ButtonProperty(const wchar_t* label) {
    return std::wstring(L"kelvo.button.") + label;
}

// The value of the name attribute of an invoke request, for the reply and the view.
std::wstring InvokeName(const std::wstring& request) {
    const std::wstring key = L"name=\"";
    const std::size_t at = request.find(key);
    if (at == std::wstring::npos)
        return {};
    const std::size_t end = request.find(L'"', at + key.size());
    return request.substr(at + key.size(),
                          end == std::wstring::npos ? std::wstring::npos : end - at - key.size());
}

std::wstring PropertyText(const VARIANT* v) {
    while (v && V_VT(v) == (VT_VARIANT | VT_BYREF))
        v = V_VARIANTREF(v);
    if (v && V_VT(v) == VT_BOOL)
        return V_BOOL(v) ? L"true" : L"false";
    std::wstring text;
    return VariantText(v, text) ? text : L"<" + std::to_wstring(v ? V_VT(v) : 0) + L">";
}

class Flash final : public ControlBase {
public:
    Flash()
        : ControlBase(CLSID_ShockwaveFlashStandin, DIID_ShockwaveFlashEvents, kViewClass, kWorkClass,
                      L"flash") {
        // Once per loaded copy of the server: the file the control's code runs from (a registered
        // server, or a copy beside the launcher loaded by its path).
        static bool s_moduleLogged = false;
        if (!std::exchange(s_moduleLogged, true)) {
            wchar_t path[MAX_PATH] = L"";
            ::GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
            LogLine(std::wstring(L"flash module ") + path);
        }
        LogLine(L"flash created");
        // The host connects its events after creation; the posted state reaches it then.
        PostWork(kMsgCreated);
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids)
            return E_POINTER;
        static const PropertyName kMethods[] = {
            {kDispidPlay, L"Play"},
            {kDispidStop, L"Stop"},
            {kDispidLoadMovie, L"LoadMovie"},
            {kDispidCallFunction, L"CallFunction"},
        };
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (const PropertyName& p : kProperties)
                if (i == 0 && lstrcmpiW(names[i], p.name) == 0)
                    ids[i] = p.id;
            for (const PropertyName& m : kMethods)
                if (i == 0 && lstrcmpiW(names[i], m.name) == 0)
                    ids[i] = m.id;
            if (ids[i] == DISPID_UNKNOWN)
                hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (result)
            ::VariantInit(result);
        if (!Live(L"Invoke"))
            return E_UNEXPECTED;
        CallBackDuringCall(id);
        const UINT argc = params ? params->cArgs : 0;
        // Arguments arrive last first.
        const auto arg = [&](UINT i) -> const VARIANT* { return &params->rgvarg[argc - 1 - i]; };
        if (flags & DISPATCH_PROPERTYPUT) {
            for (const PropertyName& p : kProperties) {
                if (p.id != id)
                    continue;
                if (argc != 1)
                    return DISP_E_BADPARAMCOUNT;
                PutProperty(p.name, PropertyText(arg(0)));
                return S_OK;
            }
            return DISP_E_MEMBERNOTFOUND;
        }
        if (!(flags & DISPATCH_METHOD))
            return DISP_E_MEMBERNOTFOUND;
        switch (id) {
        case kDispidLoadMovie: {
            std::wstring layer, url;
            if (argc != 2)
                return DISP_E_BADPARAMCOUNT;
            if (!VariantText(arg(0), layer) || !VariantText(arg(1), url))
                return DISP_E_TYPEMISMATCH;
            LoadMovie(layer, url);
            return S_OK;
        }
        case kDispidPlay:
            if (argc != 0)
                return DISP_E_BADPARAMCOUNT;
            SetPlaying(true);
            return S_OK;
        case kDispidStop:
            if (argc != 0)
                return DISP_E_BADPARAMCOUNT;
            SetPlaying(false);
            return S_OK;
        case kDispidCallFunction: {
            std::wstring request;
            if (argc != 1)
                return DISP_E_BADPARAMCOUNT;
            if (!VariantText(arg(0), request))
                return DISP_E_TYPEMISMATCH;
            const std::wstring reply = CallFunction(request);
            if (result) {
                V_VT(result) = VT_BSTR;
                V_BSTR(result) = MakeBstr(reply);
            }
            return S_OK;
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

protected:
    bool OnWorkMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case kMsgCreated:
            RaiseReadyState(4);
            return true;
        case kMsgLoad:
            if (static_cast<unsigned>(wParam) == m_loadSerial)
                LoadScript();
            return true;
        case kMsgFetched: {
            std::unique_ptr<FetchResult> fetched = TakeResult<FetchResult>(lParam);
            if (fetched && static_cast<unsigned>(wParam) == m_loadSerial && !m_closed)
                MovieFetched(*fetched);
            return true;
        }
        case kMsgStep:
            RunScript();
            return true;
        case WM_TIMER:
            if (wParam == kTimerWait) {
                ::KillTimer(Work(), kTimerWait);
                m_waiting = false;
                RunScript();
            }
            return true;
        default:
            return false;
        }
    }

    void OnFinalRelease() override { LogLine(L"flash destroyed"); }

    void OnViewGone() override {
        m_closed = true;
        m_hits.clear();
        if (Work())
            ::KillTimer(Work(), kTimerWait);
    }

    bool OnViewMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        switch (message) {
        case WM_DESTROY:
            for (const ViewButton& button : kButtons)
                ::RemovePropW(hwnd, ButtonProperty(button.label).c_str());
            return false;
        case WM_GETDLGCODE:
            result = DLGC_WANTALLKEYS | DLGC_WANTCHARS;
            return true;
        case WM_KEYDOWN:
            LogLine(L"key " + std::to_wstring(wParam));
            return false;
        case WM_LBUTTONDOWN:
            ::SetFocus(hwnd);
            UIActivate();
            m_pressed = HitAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return true;
        case WM_LBUTTONUP: {
            const int hit = HitAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            const int pressed = std::exchange(m_pressed, -1);
            if (hit >= 0 && hit == pressed)
                RaiseFlashCall(kButtons[m_hits[static_cast<std::size_t>(hit)].button].request);
            return true;
        }
        default:
            return false;
        }
    }

private:
    struct Hit {
        RECT rect;
        std::size_t button;
    };

    // A real player may run the movie's script inside a call and raise FlashCall before the call
    // returns. KELVO_STANDIN_FLASHCALL_DURING="DISPID REQUEST" does that once, inside the next call
    // of that DISPID in this process.
    void CallBackDuringCall(DISPID id) {
        static const wchar_t kName[] = L"KELVO_STANDIN_FLASHCALL_DURING";
        wchar_t armed[2048] = L"";
        const DWORD n = ::GetEnvironmentVariableW(kName, armed, 2048);
        if (n == 0 || n >= 2048)
            return;
        wchar_t* rest = nullptr;
        const long dispid = std::wcstol(armed, &rest, 10);
        if (dispid != id || !rest || *rest != L' ')
            return;
        ::SetEnvironmentVariableW(kName, nullptr);
        RaiseFlashCall(rest + 1);
    }

    void PutProperty(const wchar_t* name, const std::wstring& value) {
        LogLine(std::wstring(L"put ") + name + L" " + value);
        m_properties.emplace_back(name, value);
        if (lstrcmpW(name, L"FlashVars") == 0)
            m_flashVars = value;
        if (lstrcmpW(name, L"BackgroundColor") == 0)
            m_background = static_cast<COLORREF>(std::wcstoul(value.c_str(), nullptr, 10) & 0xFFFFFF);
        Repaint();
    }

    void LoadMovie(const std::wstring& layer, const std::wstring& url) {
        LogLine(L"LoadMovie " + layer + L" " + url);
        m_movieUrl = url;
        m_status = L"loading";
        m_script.clear();
        m_next = 0;
        m_shown.clear();
        if (Work())
            ::KillTimer(Work(), kTimerWait);
        m_waiting = false;
        PostWork(kMsgLoad, ++m_loadSerial);
        Repaint();
    }

    // Fetches the script on a thread of its own, as the player loads in the background; it reports
    // its state while loading and when done.
    void LoadScript() {
        const Ref<IDispatch> keepAlive = HoldSelf();
        const unsigned serial = m_loadSerial;
        RaiseReadyState(0);
        if (m_closed || serial != m_loadSerial)
            return;
        const std::wstring url = m_movieUrl;
        const HWND work = Work();
        if (!RunInBackground([url, work, serial] {
                PostResult(work, kMsgFetched, serial, std::make_unique<FetchResult>(Fetch(url)));
            }))
            PostResult(work, kMsgFetched, serial, std::make_unique<FetchResult>());
    }

    void MovieFetched(const FetchResult& fetched) {
        const Ref<IDispatch> keepAlive = HoldSelf();
        const unsigned serial = m_loadSerial;
        if (fetched.ok) {
            m_script = ParseMovieScript(fetched.html);
            m_status = L"loaded, " + std::to_wstring(m_script.size()) + L" commands";
            LogLine(L"movie loaded " + m_movieUrl);
        } else {
            m_script.clear();
            m_status = L"not found";
            LogLine(L"movie failed " + m_movieUrl);
        }
        Repaint();
        RaiseReadyState(3);
        if (m_closed || serial != m_loadSerial)
            return;
        RaiseReadyState(4);
        if (m_closed || serial != m_loadSerial)
            return;
        if (m_playing)
            PostWork(kMsgStep);
    }

    void SetPlaying(bool playing) {
        LogLine(playing ? L"Play" : L"Stop");
        m_playing = playing;
        if (!playing && Work()) {
            ::KillTimer(Work(), kTimerWait);
            m_waiting = false;
        }
        if (playing && !m_waiting)
            PostWork(kMsgStep);
        Repaint();
    }

    // Runs commands until a wait, the end, a stop or the control's end.
    void RunScript() {
        const Ref<IDispatch> keepAlive = HoldSelf();
        const unsigned serial = m_loadSerial;
        while (m_playing && !m_waiting && !m_closed && serial == m_loadSerial && m_next < m_script.size()) {
            const ScriptCommand command = m_script[m_next++];
            switch (command.kind) {
            case ScriptCommand::Kind::Wait:
                m_waiting = true;
                ::SetTimer(Work(), kTimerWait, std::max(command.milliseconds, 1u), nullptr);
                break;
            case ScriptCommand::Kind::Show:
                LogLine(L"show " + command.text);
                Show(command.text);
                break;
            case ScriptCommand::Kind::Clear:
                m_shown.clear();
                Repaint();
                break;
            case ScriptCommand::Kind::Call:
                RaiseFlashCall(command.text);
                break;
            case ScriptCommand::Kind::Unknown:
                LogLine(L"script: unknown command " + command.text);
                break;
            }
        }
    }

    void Show(const std::wstring& line) {
        m_shown.push_back(line);
        if (m_shown.size() > kShownLines)
            m_shown.erase(m_shown.begin());
        Repaint();
    }

    std::wstring CallFunction(const std::wstring& request) {
        LogLine(L"CallFunction " + request);
        const std::wstring name = InvokeName(request);
        Show(L"CallFunction " + name);
        return L"<string>stand-in received " + name + L"</string>";
    }

    void RaiseReadyState(long state) {
        LogLine(L"ready " + std::to_wstring(state));
        VARIANTARG arg;
        ::VariantInit(&arg);
        V_VT(&arg) = VT_I4;
        V_I4(&arg) = state;
        DISPPARAMS params{&arg, nullptr, 1, 0};
        RaiseEvent(kDispidReadyStateChange, params);
    }

    // The movie waits while the host handles the call, as with the real player.
    void RaiseFlashCall(const std::wstring& request) {
        const Ref<IDispatch> keepAlive = HoldSelf();
        LogLine(L"FlashCall " + request);
        VARIANTARG arg;
        ::VariantInit(&arg);
        V_VT(&arg) = VT_BSTR;
        V_BSTR(&arg) = MakeBstr(request);
        DISPPARAMS params{&arg, nullptr, 1, 0};
        RaiseEvent(kDispidFlashCall, params);
        ::VariantClear(&arg);
        // Written while this object still lives, even when the host released it in its handler.
        LogLine(L"FlashCall returned");
    }

    int HitAt(int x, int y) const override { return HitIndex(m_hits, x, y); }

    // Header, movie address, FlashVars, properties, the buttons, then what the script showed.
    COLORREF Background() const override { return m_background; }

    void Draw(HWND hwnd, HDC dc, const RECT& client) override {
        const HFONT text = MakeFont(15, FW_NORMAL);
        const HFONT bold = MakeFont(18, FW_BOLD);
        const HGDIOBJ oldFont = ::SelectObject(dc, bold);
        ::SetBkMode(dc, TRANSPARENT);
        const bool dark = GetRValue(m_background) + GetGValue(m_background) + GetBValue(m_background) < 384;
        const COLORREF ink = dark ? RGB(230, 230, 220) : RGB(30, 30, 30);
        const COLORREF accent = dark ? RGB(255, 200, 90) : RGB(150, 60, 0);
        const int right = client.right - kMargin;
        int y = kMargin;

        const auto line = [&](const std::wstring& s, COLORREF colour, bool wrap) {
            ::SetTextColor(dc, colour);
            RECT r{kMargin, y, std::max<LONG>(right, kMargin + 1), client.bottom};
            const UINT format = DT_NOPREFIX | DT_LEFT |
                                (wrap ? DT_WORDBREAK | DT_EDITCONTROL : DT_SINGLELINE | DT_END_ELLIPSIS);
            RECT measure = r;
            ::DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &measure, format | DT_CALCRECT);
            ::DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &r, format);
            y += (measure.bottom - measure.top) + 4;
        };

        line(std::wstring(L"Flash stand-in  \u2014  ") + (m_playing ? L"playing" : L"stopped"), accent,
             false);
        ::SelectObject(dc, text);
        line(Origin(), ink, true);
        line(L"Movie: " + (m_movieUrl.empty() ? std::wstring(L"(none)") : m_movieUrl) + L"  [" + m_status +
                 L"]",
             ink, true);
        line(L"FlashVars: " + (m_flashVars.empty() ? std::wstring(L"(none)") : m_flashVars), ink, true);
        std::wstring properties = L"Properties:";
        for (const auto& [name, value] : m_properties)
            if (name != L"FlashVars")
                properties += L" " + name + L"=" + value;
        line(properties, ink, true);
        y += 4;

        // One button per host function, wrapping at the right edge.
        m_hits.clear();
        int x = kMargin;
        const int buttonHeight = 26;
        for (std::size_t i = 0; i < std::size(kButtons); ++i) {
            const std::wstring label = kButtons[i].label;
            SIZE size{};
            ::GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &size);
            const int width = size.cx + 24;
            if (x > kMargin && x + width > right) {
                x = kMargin;
                y += buttonHeight + 6;
            }
            RECT box{x, y, x + width, y + buttonHeight};
            const HBRUSH fill = ::CreateSolidBrush(dark ? RGB(70, 40, 30) : RGB(225, 225, 225));
            ::FillRect(dc, &box, fill);
            ::DeleteObject(fill);
            const HBRUSH border = ::CreateSolidBrush(accent);
            ::FrameRect(dc, &box, border);
            ::DeleteObject(border);
            ::SetTextColor(dc, ink);
            ::DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &box,
                        DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            m_hits.push_back({box, i});
            ::SetPropW(hwnd, ButtonProperty(kButtons[i].label).c_str(),
                       reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(
                           MAKELONG((box.left + box.right) / 2, (box.top + box.bottom) / 2))));
            x = box.right + 8;
        }
        y += buttonHeight + 12;

        line(L"Movie output:", accent, false);
        for (const std::wstring& shown : m_shown)
            line(L"  " + shown, ink, true);

        ::SelectObject(dc, oldFont);
        ::DeleteObject(text);
        ::DeleteObject(bold);
    }

    static HFONT MakeFont(int height, int weight) {
        return ::CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH,
                             PageFontFace());
    }

    std::vector<std::pair<std::wstring, std::wstring>> m_properties;
    std::wstring m_flashVars;
    std::wstring m_movieUrl;
    std::wstring m_status = L"no movie";
    COLORREF m_background = RGB(255, 255, 255);
    bool m_playing = false;
    bool m_waiting = false;
    bool m_closed = false;
    unsigned m_loadSerial = 0;
    std::vector<ScriptCommand> m_script;
    std::size_t m_next = 0;
    std::vector<std::wstring> m_shown;
    std::vector<Hit> m_hits;
    int m_pressed = -1;
};

} // namespace

std::vector<ScriptCommand> ParseMovieScript(const std::wstring& text) {
    std::vector<ScriptCommand> commands;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        const std::size_t first = line.find_first_not_of(L" \t");
        if (first == std::wstring::npos || line[first] == L'#')
            continue;
        line.erase(0, first);
        const std::size_t space = line.find(L' ');
        const std::wstring word = line.substr(0, space);
        const std::wstring rest = space == std::wstring::npos ? std::wstring() : line.substr(space + 1);
        ScriptCommand command;
        command.text = rest;
        if (word == L"wait" && !rest.empty() && rest.find_first_not_of(L"0123456789") == std::wstring::npos) {
            command.kind = ScriptCommand::Kind::Wait;
            command.milliseconds = static_cast<unsigned>(
                std::min<unsigned long>(std::wcstoul(rest.c_str(), nullptr, 10), 600000));
        } else if (word == L"show") {
            command.kind = ScriptCommand::Kind::Show;
        } else if (word == L"call" && !rest.empty()) {
            command.kind = ScriptCommand::Kind::Call;
        } else if (word == L"clear" && rest.empty()) {
            command.kind = ScriptCommand::Kind::Clear;
        } else {
            command.text = line;
        }
        commands.push_back(command);
    }
    return commands;
}

HRESULT CreateFlash(REFIID iid, void** out) {
    return CreateControl<Flash>(iid, out);
}

void UnregisterFlashClasses() {
    ControlBase::UnregisterClasses(kViewClass, kWorkClass);
}

} // namespace standins
