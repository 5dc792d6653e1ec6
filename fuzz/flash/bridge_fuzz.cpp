// Walks arbitrary requests with the bridge and checks what it did against a plain recursive walk
// of the same document (the walk's definition, safe here because inputs are short), and that the
// trace only repeats the request: every name piece occurs in it, and every value or text piece
// does too when the request holds no reference to decode.
//
// Input: when the first byte is 'U' the rest is UTF-16LE; otherwise every byte is one unit.
#include "flash/FlashBridge.h"
#include "fuzz/FuzzInput.h"
#include "markup/MarkupDocument.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using fuzz::Require;

enum class Kind { Piece, Timer, Prompt, Max, Close };

struct Event {
    Kind kind;
    std::u16string text;
    bool operator==(const Event&) const = default;
};

class Recorder final : public FlashBridgeHost {
public:
    std::vector<Event> events;
    void DebugOutput(std::u16string_view piece) override {
        events.push_back({Kind::Piece, std::u16string(piece)});
    }
    void StartReloadTimer() override { events.push_back({Kind::Timer, {}}); }
    void SetLeaveGamePrompt(std::u16string prompt) override {
        events.push_back({Kind::Prompt, std::move(prompt)});
    }
    void ToggleMaximized() override { events.push_back({Kind::Max, {}}); }
    void ConfirmCloseGame() override { events.push_back({Kind::Close, {}}); }
};

bool In(const std::u16string& text, const std::u16string& piece) {
    return text.find(piece) != std::u16string::npos;
}

// The walk as first written: recursion into children, a host function other than setReloadTips
// returning from its level.
// Names must occur in the request; values too when nothing in it needs decoding.
void ReferenceWalk(MarkupDocument& d, Recorder& r, const std::u16string& text) {
    const bool decodes = text.find(u'&') != std::u16string::npos;
    while (d.NextElement()) {
        if (d.NodeName() == u"invoke") {
            const std::u16string name = d.AttributeValue(u"name");
            if (name == u"reload") {
                r.DebugOutput(u"\nFlash刷新!!!!!!!!");
                r.StartReloadTimer();
                return;
            }
            if (name == u"setReloadTips") {
                r.DebugOutput(u"\n收到Flash方的信息!!!!!!!!");
                r.SetLeaveGamePrompt(ReloadTipsPrompt(d.InnerMarkup()));
            } else if (name == u"setWindowMax") {
                r.DebugOutput(u"\n最大化/还原窗口!!!!!!!!");
                r.ToggleMaximized();
                return;
            } else if (name == u"disconnection") {
                r.DebugOutput(u"\nFlash断线!!!!!!!!");
                r.ConfirmCloseGame();
                return;
            }
        }
        for (int k = 0;; ++k) {
            r.DebugOutput(u"  ");
            const std::u16string n = d.AttributeNameAt(k);
            if (n.empty())
                break;
            const std::u16string value = d.AttributeValue(n.c_str());
            Require(In(text, n), "attribute name not from the request");
            Require(decodes || In(text, value), "attribute value not from the request");
            r.DebugOutput(n);
            r.DebugOutput(u"=");
            r.DebugOutput(value);
        }
        Require(In(text, d.NodeName()), "element name not from the request");
        r.DebugOutput(u"Tag(" + d.NodeName() + u") = ");
        r.DebugOutput(d.ElementText());
        r.DebugOutput(u"\n");
        if (d.EnterElement()) {
            ReferenceWalk(d, r, text);
            d.LeaveElement();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string request = fuzz::Units(data, size);
    Recorder walked;
    HandleFlashCall(request, walked);

    // LoadText reads up to the first U+0000, as the document does.
    const std::u16string loaded = request.substr(0, request.find(u'\0'));
    Recorder reference;
    reference.DebugOutput(request);
    MarkupDocument document;
    document.LoadText(loaded.c_str());
    document.RewindLevel();
    ReferenceWalk(document, reference, loaded);
    Require(walked.events == reference.events, "the walk differs from the recursive walk");

    for (std::size_t i = 1; i < walked.events.size(); ++i) {
        const Event& e = walked.events[i];
        const std::u16string& before = walked.events[i - 1].text;
        if (e.kind == Kind::Prompt)
            Require(before == u"\n收到Flash方的信息!!!!!!!!", "prompt without its debug line");
        else if (e.kind != Kind::Piece)
            Require(before.starts_with(u"\n") && before.ends_with(u"!!!!!!!!"),
                    "host action without its debug line");
    }
    return 0;
}
