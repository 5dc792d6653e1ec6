// Walks arbitrary requests with the bridge and checks what it did against a plain recursive walk
// of the same document (the walk's definition, safe here because inputs are short), and that the
// trace only repeats the request: every name piece occurs in it, and every value or text piece
// does too when the request holds no reference to decode. The leave prompt, which the bridge
// builds late, is compared where the game window reads it (at each leave question and after the
// request) with one set at each call by erasing the wrappers one at a time.
//
// Input: when the first byte is 'U' the rest is UTF-16LE; otherwise every byte is one unit.
#include "flash/core/FlashBridge.h"
#include "fuzz/FuzzInput.h"
#include "markup/MarkupDocument.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using namespace kelvo;

namespace {

using fuzz::Require;

enum class Kind { Piece, Timer, Max, Close };

struct Event {
    Kind kind;
    std::u16string text;
    bool operator==(const Event&) const = default;
};

// The prompt is kept as the game window keeps it and read where the window reads it: by the
// leave question (the Close event carries it) and after the request.
class Recorder final : public FlashBridgeHost {
public:
    std::vector<Event> events;
    std::optional<std::u16string> prompt;
    void DebugOutput(std::u16string_view piece) override {
        events.push_back({Kind::Piece, std::u16string(piece)});
    }
    void StartReloadTimer() override { events.push_back({Kind::Timer, {}}); }
    void SetLeaveGamePrompt(std::u16string text) override { prompt = std::move(text); }
    void ToggleMaximized() override { events.push_back({Kind::Max, {}}); }
    void ConfirmCloseGame() override { events.push_back({Kind::Close, prompt.value_or(u"(unset)")}); }
};

// The prompt as first written: every opening wrapper erased where it is found, then every closing
// one in what is left.
std::u16string PlainPrompt(std::u16string text) {
    for (const std::u16string_view wrapper :
         {std::u16string_view(u"<arguments><string>"), std::u16string_view(u"</string></arguments>")})
        for (std::size_t at = 0; (at = text.find(wrapper, at)) != std::u16string::npos;)
            text.erase(at, wrapper.size());
    return text;
}

bool In(const std::u16string& text, const std::u16string& piece) {
    return text.find(piece) != std::u16string::npos;
}

// The walk as first written: recursion into children, a host function other than setReloadTips
// returning from its level, the prompt set at the call itself. Values written stop at the
// request's length, as the bridge's do.
// Names must occur in the request; values too when nothing in it needs decoding.
void ReferenceWalk(MarkupDocument& d, Recorder& r, const std::u16string& text, std::size_t& valuesLeft) {
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
                r.SetLeaveGamePrompt(PlainPrompt(d.InnerMarkup()));
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
            r.DebugOutput(value.substr(0, valuesLeft));
            valuesLeft -= std::min(valuesLeft, value.size());
        }
        Require(In(text, d.NodeName()), "element name not from the request");
        r.DebugOutput(u"Tag(" + d.NodeName() + u") = ");
        r.DebugOutput(d.ElementText());
        r.DebugOutput(u"\n");
        if (d.EnterElement()) {
            ReferenceWalk(d, r, text, valuesLeft);
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
    std::size_t valuesLeft = loaded.size();
    ReferenceWalk(document, reference, loaded, valuesLeft);
    Require(walked.events == reference.events, "the walk, or the prompt at a leave question, differs");
    Require(walked.prompt == reference.prompt, "the prompt after the request differs");

    for (std::size_t i = 1; i < walked.events.size(); ++i) {
        const Event& e = walked.events[i];
        const std::u16string& before = walked.events[i - 1].text;
        if (e.kind != Kind::Piece)
            Require(before.starts_with(u"\n") && before.ends_with(u"!!!!!!!!"),
                    "host action without its debug line");
    }
    return 0;
}
