// The bridge on hostile requests: the time of one whole HandleFlashCall (load, walk, trace into a
// sink that only counts) against the time of loading the same text into a MarkupDocument alone,
// the reference measured in the same run. Times are the fastest of several samples, each the CPU
// time of this thread: on a machine shared with other work, waiting for a core would otherwise
// count, and more for the long runs than for the short ones.
#include "flash/core/FlashBridge.h"
#include "markup/MarkupDocument.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

using namespace kelvo;

namespace {

double CpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

class CountingHost final : public FlashBridgeHost {
public:
    // Not side by side: the compiler would add to the two counters with one wide load and store,
    // which the next piece then waits for, and the sink would cost more than a piece does.
    std::size_t pieces = 0;
    std::size_t actions = 0;
    std::size_t units = 0;

    void DebugOutput(std::u16string_view piece) override {
        ++pieces;
        units += piece.size();
    }
    void StartReloadTimer() override { ++actions; }
    void SetLeaveGamePrompt(std::u16string prompt) override { actions += 1 + 0 * prompt.size(); }
    void ToggleMaximized() override { ++actions; }
    void ConfirmCloseGame() override { ++actions; }
};

std::u16string Repeat(std::u16string_view unit, std::size_t totalUnits) {
    std::u16string out;
    out.reserve(totalUnits + unit.size());
    while (out.size() < totalUnits)
        out += unit;
    return out;
}

// 512 Ki UTF-16 units: one megabyte of request text, unless the command line asks for another size.
std::size_t g_units = 1 << 19;

struct Request {
    const char* name;
    std::u16string text;
};

std::u16string Ascii(const std::string& text) {
    return {text.begin(), text.end()};
}

// Calls nested in each other's argument until the text reaches the size; inner(i) is what stands
// in the innermost argument, and each level may put something before its nested call.
std::u16string Nested(std::u16string_view open, std::u16string_view close, std::u16string_view before,
                      std::u16string_view inner) {
    const std::size_t levels = g_units / (open.size() + close.size() + before.size());
    std::u16string out;
    out.reserve(levels * (open.size() + close.size() + before.size()) + inner.size());
    for (std::size_t i = 0; i < levels; ++i)
        out.append(open).append(before);
    out += inner;
    for (std::size_t i = 0; i < levels; ++i)
        out += close;
    return out;
}

std::vector<Request> Requests() {
    const std::size_t mb = g_units;
    const std::u16string open = u"<invoke name=\"setReloadTips\" returntype=\"xml\"><arguments><string>";
    const std::u16string close = u"</string></arguments></invoke>";
    const std::u16string lost = u"<invoke name=\"disconnection\"/>";
    std::vector<Request> out;
    out.push_back({"setReloadTips with one long text", open + Repeat(u"提示文字 text ", mb) + close});
    out.push_back({"many string arguments", u"<invoke name=\"foo\" returntype=\"xml\"><arguments>" +
                                                Repeat(u"<string>x</string>", mb) +
                                                u"</arguments></invoke>"});
    out.push_back({"many setReloadTips side by side", Repeat(open + u"tip" + close, mb)});
    out.push_back({"nested setReloadTips", Nested(open, close, u"", u"tip")});
    out.push_back({"nested setReloadTips, question at the bottom", Nested(open, close, u"", lost)});
    out.push_back({"nested setReloadTips, text at each level", Nested(open, close, u"some text ", u"tip")});
    out.push_back({"nested invokes of another name",
                   Nested(u"<invoke name=\"foo\" returntype=\"xml\"><arguments><string>", close, u"", u"x")});
    out.push_back({"nested elements, all ended", Nested(u"<a>", u"</a>", u"", u"")});
    out.push_back({"nested elements with attributes", Nested(u"<a b=\"c\" d=\"e\">", u"</a>", u"", u"")});
    out.push_back({"unended elements", Repeat(u"<a>", mb) + u"<invoke name=\"reload\"/>"});
    out.push_back(
        {"broken markup", Repeat(u"<a><b></a></c><!x><!-x><![x]><1><!DOCTYPE d [<!x>]>", mb) + u"<e attr='"});
    out.push_back({"text without markup", Repeat(u"plain text & more ", mb)});
    out.push_back({"attribute values full of references",
                   u"<invoke name=\"foo\" a=\"" + Repeat(u"&amp;&#65;&#x42;&eacute;&bogus;", mb) + u"\"/>"});
    out.push_back(
        {"one tag, one attribute name repeated", u"<invoke " + Repeat(u"a=1 ", mb * 3 / 4) + u"/>"});
    out.push_back({"one tag, distinct attribute names", [mb] {
                       std::u16string t = u"<invoke";
                       for (int i = 0; t.size() < mb; ++i)
                           t += Ascii(" n" + std::to_string(i) + "=v");
                       return t + u"/>";
                   }()});
    out.push_back({"attribute names of every length", [mb] {
                       std::u16string t = u"<invoke";
                       for (std::size_t i = 1; t.size() < mb; ++i)
                           t.append(u" ").append(i, u'n');
                       return t + u"/>";
                   }()});
    out.push_back({"attribute names ending in brackets", [mb] {
                       std::u16string t = u"<invoke";
                       for (std::size_t i = 0; t.size() < mb; ++i)
                           t.append(u" a").append(i, u'[').append(u"=v");
                       return t + u"/>";
                   }()});
    out.push_back({"bracket names, none of them first", [mb] {
                       // The first name answers for none of the others, so no lookup of a prefix
                       // ends the walk along a name early.
                       std::u16string t = u"<invoke b=v";
                       for (std::size_t i = 0; t.size() < mb; ++i)
                           t.append(u" a").append(i, u'[').append(u"=v");
                       return t + u"/>";
                   }()});
    out.push_back({"one long value named again and again",
                   u"<invoke x=\"" + Repeat(u"v", mb / 2) + u"\"" + Repeat(u" x", mb / 2) + u"/>"});
    out.push_back({"many attributes, then many elements", [mb] {
                       std::u16string t = u"<r><e";
                       for (int i = 0; t.size() < mb / 2; ++i)
                           t += Ascii(" n" + std::to_string(i) + "=v");
                       return t + u"/>" + Repeat(u"<b c=\"d\"/>", mb / 2) + u"</r>";
                   }()});
    out.push_back({"one attribute name of brackets", u"<invoke a" + Repeat(u"[", mb) + u"/>"});
    return out;
}

double FastestMs(const std::function<void()>& run, int samples) {
    double best = 1e300;
    for (int i = 0; i < samples; ++i) {
        const double t0 = CpuMs();
        run();
        best = std::min(best, CpuMs() - t0);
    }
    return best;
}

} // namespace

// Arguments: the number of samples (default 5), the size of each request in UTF-16 units (default
// one megabyte) and a word that the names of the requests to run contain (default all). Exits
// with 1 when a request costs more than kLimit loads of its text.
int main(int argc, char** argv) {
    constexpr double kLimit = 20;
    const int samples = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (argc > 2)
        g_units = std::max<std::size_t>(1024, std::strtoul(argv[2], nullptr, 10));
    std::printf("%-46s %10s %10s %10s %8s %10s\n", "request", "units", "load ms", "bridge ms", "ratio",
                "pieces");
    double worst = 0;
    const std::string only = argc > 3 ? argv[3] : "";
    for (const Request& r : Requests()) {
        if (std::string(r.name).find(only) == std::string::npos)
            continue;
        const double load = FastestMs(
            [&] {
                MarkupDocument d;
                d.LoadText(r.text.c_str());
            },
            samples);
        CountingHost host;
        const double bridge = FastestMs(
            [&] {
                host = CountingHost{};
                HandleFlashCall(r.text, host);
            },
            samples);
        const double ratio = bridge / load;
        worst = std::max(worst, ratio);
        std::printf("%-46s %10zu %10.2f %10.2f %8.2f %10zu%s\n", r.name, r.text.size(), load, bridge, ratio,
                    host.pieces, ratio > kLimit ? "  over the limit" : "");
        std::fflush(stdout);
    }
    std::printf("worst ratio %.2f, limit %.0f\n", worst, kLimit);
    return worst > kLimit ? 1 : 0;
}
