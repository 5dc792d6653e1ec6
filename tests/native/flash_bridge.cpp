// The bridge's walk over a request: the trace pieces in order, the host functions and where the
// walk goes on after them.
#include "flash/core/FlashBridge.h"

#include "markup/MarkupDocument.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace kelvo;

namespace {

// Every trace piece as it is, every host action as "<action>". The prompt is kept as the game
// window keeps it, and read where the window reads it: by the leave question ("<close:prompt>")
// and after the request ("<prompt:...>" last, when one was set). When the bridge hands it over
// in between is its own affair.
class Recorder final : public FlashBridgeHost {
public:
    std::vector<std::u16string> events;
    std::optional<std::u16string> prompt;

    void DebugOutput(std::u16string_view piece) override { events.emplace_back(piece); }
    void StartReloadTimer() override { events.emplace_back(u"<timer>"); }
    void SetLeaveGamePrompt(std::u16string text) override { prompt = std::move(text); }
    void ToggleMaximized() override { events.emplace_back(u"<max>"); }
    void ConfirmCloseGame() override { events.push_back(u"<close:" + prompt.value_or(u"(unset)") + u">"); }
};

std::vector<std::u16string> Walk(const std::u16string& request) {
    Recorder recorder;
    HandleFlashCall(request, recorder);
    EXPECT_FALSE(recorder.events.empty());
    EXPECT_EQ(recorder.events.front(), request); // the request is always written first
    recorder.events.erase(recorder.events.begin());
    if (recorder.prompt)
        recorder.events.push_back(u"<prompt:" + *recorder.prompt + u">");
    return recorder.events;
}

using Events = std::vector<std::u16string>;

// The trace of an element without attributes: "  ", the tag piece, its text, a line feed.
Events Plain(const std::u16string& name, const std::u16string& text = u"") {
    return {u"  ", u"Tag(" + name + u") = ", text, u"\n"};
}

Events Join(std::initializer_list<Events> parts) {
    Events out;
    for (const Events& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

const std::u16string kReloadLine = u"\nFlash刷新!!!!!!!!";
const std::u16string kTipsLine = u"\n收到Flash方的信息!!!!!!!!";
const std::u16string kMaxLine = u"\n最大化/还原窗口!!!!!!!!";
const std::u16string kLostLine = u"\nFlash断线!!!!!!!!";

struct WalkCase {
    const char* what;
    std::u16string request;
    Events expected;
};

TEST(FlashBridge, WalksRequestsInOrder) {
    const Events invokeFoo = {u"  ", u"name",           u"=", u"foo", u"  ", u"returntype", u"=", u"xml",
                              u"  ", u"Tag(invoke) = ", u"",  u"\n"};
    const Events invokeReloadCase = {u"  ", u"name", u"=", u"Reload", u"  ", u"Tag(invoke) = ", u"", u"\n"};
    const Events tips = {u"  ", u"name", u"=", u"setReloadTips", u"  ", u"Tag(invoke) = ", u"", u"\n"};
    const WalkCase cases[] = {
        {"worked example",
         u"<invoke name=\"foo\" returntype=\"xml\"><arguments><string>x</string></arguments></invoke>",
         Join({invokeFoo, Plain(u"arguments"), Plain(u"string", u"x")})},
        {"another letter case is no host function", u"<invoke name=\"Reload\"><arguments/></invoke>",
         Join({invokeReloadCase, Plain(u"arguments")})},
        {"reload: timer, no trace",
         u"<invoke name=\"reload\" returntype=\"xml\"><arguments></arguments></invoke>",
         {kReloadLine, u"<timer>"}},
        {"setWindowMax", u"<invoke name=\"setWindowMax\"/>", {kMaxLine, u"<max>"}},
        {"disconnection", u"<invoke name=\"disconnection\"/>", {kLostLine, u"<close:(unset)>"}},
        {"setReloadTips: prompt, then trace and children",
         u"<invoke name=\"setReloadTips\"><arguments><string>a &amp; b</string></arguments></invoke>",
         Join({{kTipsLine}, tips, Plain(u"arguments"), Plain(u"string", u"a & b"), {u"<prompt:a &amp; b>"}})},
        {"setReloadTips with two arguments",
         u"<invoke "
         u"name=\"setReloadTips\"><arguments><string>a</string><string>b</string></arguments></invoke>",
         Join({{kTipsLine},
               tips,
               Plain(u"arguments"),
               Plain(u"string", u"a"),
               Plain(u"string", u"b"),
               {u"<prompt:a</string><string>b>"}})},
        {"setReloadTips with an empty argument",
         u"<invoke name=\"setReloadTips\"><arguments><string></string></arguments></invoke>",
         Join({{kTipsLine}, tips, Plain(u"arguments"), Plain(u"string"), {u"<prompt:>"}})},
        {"setReloadTips with self-closing arguments", u"<invoke name=\"setReloadTips\"><arguments/></invoke>",
         Join({{kTipsLine}, tips, Plain(u"arguments"), {u"<prompt:<arguments/>>"}})},
        {"a host function ends only its own level",
         u"<outer><invoke name=\"setWindowMax\"/><skipped/></outer><next>t</next>",
         Join({Plain(u"outer"), {kMaxLine, u"<max>"}, Plain(u"next", u"t")})},
        {"invoke at any depth", u"<a><b><invoke name=\"reload\"/></b><c/></a>",
         Join({Plain(u"a"), Plain(u"b"), {kReloadLine, u"<timer>"}, Plain(u"c")})},
        {"several calls in one request",
         u"<invoke name=\"reload\"/><invoke name=\"reload\"/><x/>",
         {kReloadLine, u"<timer>"}},
        {"repeated attribute: the first value for both",
         u"<e x='1' x='2'/>",
         {u"  ", u"x", u"=", u"1", u"  ", u"x", u"=", u"1", u"  ", u"Tag(e) = ", u"", u"\n"}},
        {"a value named again is written until the values reach the request's length (23 units)",
         u"<e x='abcdefgh' x x x/>",
         {u"  ", u"x",       u"=",  u"abcdefgh", u"  ", u"x", u"=",  u"abcdefgh",  u"  ", u"x",
          u"=",  u"abcdefg", u"  ", u"x",        u"=",  u"",  u"  ", u"Tag(e) = ", u"",   u"\n"}},
        {"no element at all", u"just text", {}},
        {"broken markup is walked as repaired", u"<invoke name=\"foo\"><a></invoke>",
         Join({{u"  ", u"name", u"=", u"foo", u"  ", u"Tag(invoke) = ", u"", u"\n"}, Plain(u"a")})},
    };
    for (const WalkCase& c : cases)
        EXPECT_EQ(Walk(c.request), c.expected) << c.what;
}

// The prompt where the game window reads it: what each leave question shows, and what is left
// after the request.
struct PromptCase {
    const char* what;
    std::u16string request;
    Events questions;
    std::optional<std::u16string> after;
};

std::u16string Tips(const std::u16string& argument) {
    return u"<invoke name=\"setReloadTips\"><arguments><string>" + argument +
           u"</string></arguments></invoke>";
}

TEST(FlashBridge, PromptAtTheLeaveQuestionAndAfterTheRequest) {
    const std::u16string lost = u"<invoke name=\"disconnection\"/>";
    const PromptCase cases[] = {
        {"nested: the innermost call is the last", Tips(u"a" + Tips(u"b")), {}, u"b"},
        {"question at the bottom of three nested calls",
         Tips(u"a" + Tips(u"b" + Tips(u"c" + lost))),
         {u"<close:c" + lost + u">"},
         u"c" + lost},
        {"question after a nested call, one level up", Tips(u"a" + Tips(u"b") + lost), {u"<close:b>"}, u"b"},
        {"question below a call, before the call nested in it",
         Tips(u"<x>" + lost + u"</x>" + Tips(u"b")),
         {u"<close:<x>" + lost + u"</x><invoke name=\"setReloadTips\">b</invoke>>"},
         u"b"},
        {"question before any call sees the window's own prompt",
         u"<a>" + lost + u"</a>" + Tips(u"t"),
         {u"<close:(unset)>"},
         u"t"},
        {"three questions, each after a different call",
         u"<a>" + lost + u"</a>" + Tips(u"1") + u"<b>" + lost + u"</b>" + Tips(u"2") + u"<c>" + lost +
             u"</c>",
         {u"<close:(unset)>", u"<close:1>", u"<close:2>"},
         u"2"},
        {"a question ends its level: the call after it is not made",
         Tips(u"1") + lost + Tips(u"2"),
         {u"<close:1>"},
         u"1"},
        {"call deep in other elements, question at the top",
         u"<a><b>" + Tips(u"deep") + u"</b></a>" + lost,
         {u"<close:deep>"},
         u"deep"},
        {"two arguments",
         u"<r><invoke "
         u"name=\"setReloadTips\"><arguments><string>a</string><string>b</string></arguments></invoke>" +
             lost + u"</r>",
         {u"<close:a</string><string>b>"},
         u"a</string><string>b"},
        {"self-closing arguments",
         u"<r><invoke name=\"setReloadTips\"><arguments/></invoke>" + lost + u"</r>",
         {u"<close:<arguments/>>"},
         u"<arguments/>"},
        {"empty argument", u"<r>" + Tips(u"") + lost + u"</r>", {u"<close:>"}, u""},
        {"no content", u"<r><invoke name=\"setReloadTips\"/>" + lost + u"</r>", {u"<close:>"}, u""},
        {"unended call has no content", u"<invoke name=\"setReloadTips\"><arguments><string>z", {}, u""},
        {"the closing wrappers go after the opening ones, so a joined closing wrapper goes too",
         u"<invoke "
         u"name=\"setReloadTips\"><arguments><string>x</string></argu<arguments><string>ments></string>"
         u"</arguments></invoke>",
         {},
         u"x"},
        {"an opening wrapper that a removal joins stays",
         u"<invoke "
         u"name=\"setReloadTips\"><arguments><arguments><string><string>y</string></string></arguments>"
         u"</arguments></invoke>",
         {},
         u"<arguments><string>y</string></arguments>"},
        {"references stay encoded", Tips(u"&lt;b&gt; &#65;"), {}, u"&lt;b&gt; &#65;"},
        {"only an invoke element calls",
         u"<call name=\"setReloadTips\">x</call>" + lost,
         {u"<close:(unset)>"},
         std::nullopt},
    };
    for (const PromptCase& c : cases) {
        Recorder recorder;
        HandleFlashCall(c.request, recorder);
        Events questions;
        for (const std::u16string& e : recorder.events)
            if (e.starts_with(u"<close:"))
                questions.push_back(e);
        EXPECT_EQ(questions, c.questions) << c.what;
        EXPECT_EQ(recorder.prompt, c.after) << c.what;
    }
}

TEST(FlashBridge, DeepNestingIsWalkedWithoutRecursion) {
    constexpr int kDepth = 100000;
    std::u16string request;
    for (int i = 0; i < kDepth; ++i)
        request += u"<a>";
    request += u"<invoke name=\"setWindowMax\"/><z/>";
    for (int i = 0; i < kDepth; ++i)
        request += u"</a>";
    request += u"<last/>";

    Recorder recorder;
    HandleFlashCall(request, recorder);
    // The request, each <a> traced, the host function at the bottom, then only <last>: <z> shares
    // the level that the host function ended.
    ASSERT_EQ(recorder.events.size(), 1 + 4u * kDepth + 2 + 4);
    EXPECT_EQ(recorder.events[1 + 4 * kDepth], kMaxLine);
    EXPECT_EQ(recorder.events[2 + 4 * kDepth], u"<max>");
    EXPECT_EQ(recorder.events[3 + 4 * kDepth + 1], u"Tag(last) = ");
}

TEST(FlashBridge, ReloadTipsPromptRemovesOnlyTheWrappers) {
    EXPECT_EQ(ReloadTipsPrompt(u"<arguments><string>T</string></arguments>"), u"T");
    EXPECT_EQ(ReloadTipsPrompt(
                  u"<arguments><string><arguments><string>x</string></arguments></string></arguments>"),
              u"x");
    EXPECT_EQ(ReloadTipsPrompt(u"<arguments> <string>T</string> </arguments>"),
              u"<arguments> <string>T</string> </arguments>");
    EXPECT_EQ(ReloadTipsPrompt(u""), u"");
}

} // namespace
