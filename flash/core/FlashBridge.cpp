#include "flash/core/FlashBridge.h"

#include "markup/MarkupDocument.h"

#include <algorithm>
#include <optional>

namespace kelvo {

namespace {

enum class HostFunction { None, Reload, SetReloadTips, SetWindowMax, Disconnection };

struct HostFunctionEntry {
    std::u16string_view name;
    std::u16string_view debugLine;
    HostFunction function;
};

// Tested in this order, by exact name.
constexpr HostFunctionEntry kHostFunctions[] = {
    {u"reload", u"\nFlash刷新!!!!!!!!", HostFunction::Reload},
    {u"setReloadTips", u"\n收到Flash方的信息!!!!!!!!", HostFunction::SetReloadTips},
    {u"setWindowMax", u"\n最大化/还原窗口!!!!!!!!", HostFunction::SetWindowMax},
    {u"disconnection", u"\nFlash断线!!!!!!!!", HostFunction::Disconnection},
};

std::u16string RemoveAll(std::u16string_view text, std::u16string_view what) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(what, from)) != std::u16string_view::npos; from = at + what.size())
        out.append(text, from, at - from);
    out.append(text.substr(from));
    return out;
}

// One request's walk. Two things in it could cost more than the request is long, and are kept
// linear:
// - The prompt. Each "setReloadTips" would copy its inner markup, and a call nested in another's
//   argument copies most of the text again. The walk keeps only the span of the last call and
//   builds the prompt from it where the game window reads it: before the leave question, and when
//   the request ends.
// - The values in the trace. An attribute whose name matches an earlier one of its tag writes that
//   earlier value, so a tag of one long value and many repeats of its name would write the value
//   once per repeat. Values written for one request stop at the request's length, which a request
//   without such repeats never reaches; beyond it they are written empty.
class RequestWalk {
public:
    RequestWalk(MarkupDocument& document, FlashBridgeHost& host)
        : m_document(document), m_host(host), m_nValueUnitsLeft(document.TextLength()) {}

    void Run() {
        // depth counts the levels entered below the one the walk started on; leaving a level goes
        // back to the element whose children it held, and the walk goes on with its next sibling.
        std::size_t depth = 0;
        for (;;) {
            bool levelEnds = !m_document.NextElement();
            if (!levelEnds && m_document.NodeName() == u"invoke")
                levelEnds = RunHostFunction();
            if (levelEnds) {
                if (depth == 0)
                    break;
                m_document.LeaveElement();
                --depth;
                continue;
            }
            TraceElement();
            if (m_document.EnterElement())
                ++depth;
        }
        HandOverPrompt();
    }

private:
    // Carries out an invoke element's host function. Returns true when the walk ends this level.
    bool RunHostFunction() {
        const std::u16string name = m_document.AttributeValue(u"name");
        for (const HostFunctionEntry& entry : kHostFunctions) {
            if (name != entry.name)
                continue;
            m_host.DebugOutput(entry.debugLine);
            switch (entry.function) {
            case HostFunction::Reload:
                m_host.StartReloadTimer();
                return true;
            case HostFunction::SetReloadTips:
                m_pendingPrompt = m_document.InnerMarkupView();
                return false;
            case HostFunction::SetWindowMax:
                m_host.ToggleMaximized();
                return true;
            case HostFunction::Disconnection:
                HandOverPrompt();
                m_host.ConfirmCloseGame();
                return true;
            case HostFunction::None:
                break;
            }
        }
        return false;
    }

    void HandOverPrompt() {
        if (!m_pendingPrompt)
            return;
        m_host.SetLeaveGamePrompt(ReloadTipsPrompt(*m_pendingPrompt));
        m_pendingPrompt.reset();
    }

    void TraceElement() {
        for (int k = 0;; ++k) {
            m_host.DebugOutput(u"  ");
            const std::u16string name = m_document.AttributeNameAt(k);
            if (name.empty())
                break;
            m_host.DebugOutput(name);
            m_host.DebugOutput(u"=");
            if (m_nValueUnitsLeft == 0) {
                m_host.DebugOutput(u"");
                continue;
            }
            std::u16string value = m_document.AttributeValue(name.c_str());
            value.resize(std::min(value.size(), m_nValueUnitsLeft));
            m_nValueUnitsLeft -= value.size();
            m_host.DebugOutput(value);
        }
        m_host.DebugOutput(u"Tag(" + m_document.NodeName() + u") = ");
        m_host.DebugOutput(m_document.ElementText());
        m_host.DebugOutput(u"\n");
    }

    MarkupDocument& m_document;
    FlashBridgeHost& m_host;
    std::optional<std::u16string_view> m_pendingPrompt; // inner markup of the last setReloadTips
    std::size_t m_nValueUnitsLeft;
};

} // namespace

std::u16string ReloadTipsPrompt(std::u16string_view innerMarkup) {
    // The closing wrappers are removed from what is left once the opening ones are gone, so one
    // that the first removal joins together goes too.
    std::u16string prompt = RemoveAll(innerMarkup, u"<arguments><string>");
    return RemoveAll(prompt, u"</string></arguments>");
}

void DispatchRequestElements(MarkupDocument& document, FlashBridgeHost& host) {
    RequestWalk(document, host).Run();
}

void HandleFlashCall(const std::u16string& request, FlashBridgeHost& host) {
    host.DebugOutput(request);
    MarkupDocument document;
    document.LoadText(request.c_str());
    document.RewindLevel();
    DispatchRequestElements(document, host);
}

} // namespace kelvo
