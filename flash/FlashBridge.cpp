#include "flash/FlashBridge.h"

#include "markup/MarkupDocument.h"

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

void RemoveAll(std::u16string& text, std::u16string_view what) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(what, from)) != std::u16string::npos; from = at + what.size())
        out.append(text, from, at - from);
    if (from == 0)
        return;
    out.append(text, from, std::u16string::npos);
    text = std::move(out);
}

// Carries out an invoke element's host function. Returns true when the walk ends this level.
bool RunHostFunction(MarkupDocument& document, FlashBridgeHost& host) {
    const std::u16string name = document.AttributeValue(u"name");
    for (const HostFunctionEntry& entry : kHostFunctions) {
        if (name != entry.name)
            continue;
        host.DebugOutput(entry.debugLine);
        switch (entry.function) {
        case HostFunction::Reload:
            host.StartReloadTimer();
            return true;
        case HostFunction::SetReloadTips:
            host.SetLeaveGamePrompt(ReloadTipsPrompt(document.InnerMarkup()));
            return false;
        case HostFunction::SetWindowMax:
            host.ToggleMaximized();
            return true;
        case HostFunction::Disconnection:
            host.ConfirmCloseGame();
            return true;
        case HostFunction::None:
            break;
        }
    }
    return false;
}

void TraceElement(MarkupDocument& document, FlashBridgeHost& host) {
    for (int k = 0;; ++k) {
        host.DebugOutput(u"  ");
        const std::u16string name = document.AttributeNameAt(k);
        if (name.empty())
            break;
        host.DebugOutput(name);
        host.DebugOutput(u"=");
        host.DebugOutput(document.AttributeValue(name.c_str()));
    }
    host.DebugOutput(u"Tag(" + document.NodeName() + u") = ");
    host.DebugOutput(document.ElementText());
    host.DebugOutput(u"\n");
}

} // namespace

std::u16string ReloadTipsPrompt(std::u16string innerMarkup) {
    RemoveAll(innerMarkup, u"<arguments><string>");
    RemoveAll(innerMarkup, u"</string></arguments>");
    return innerMarkup;
}

void DispatchRequestElements(MarkupDocument& document, FlashBridgeHost& host) {
    // depth counts the levels entered below the one the walk started on; leaving a level goes back
    // to the element whose children it held, and the walk goes on with that element's next sibling.
    std::size_t depth = 0;
    for (;;) {
        bool levelEnds = !document.NextElement();
        if (!levelEnds && document.NodeName() == u"invoke")
            levelEnds = RunHostFunction(document, host);
        if (levelEnds) {
            if (depth == 0)
                return;
            document.LeaveElement();
            --depth;
            continue;
        }
        TraceElement(document, host);
        if (document.EnterElement())
            ++depth;
    }
}

void HandleFlashCall(std::u16string_view request, FlashBridgeHost& host) {
    host.DebugOutput(request);
    MarkupDocument document;
    document.LoadText(std::u16string(request).c_str());
    document.RewindLevel();
    DispatchRequestElements(document, host);
}
