// The bridge on hostile requests: the time of one whole HandleFlashCall (load, walk, trace into a
// sink that only counts) against the time of loading the same text into a MarkupDocument alone,
// the reference measured in the same run. Times are the fastest of several samples.
#include "flash/FlashBridge.h"
#include "markup/MarkupDocument.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class CountingHost final : public FlashBridgeHost {
public:
    std::size_t pieces = 0;
    std::size_t units = 0;
    std::size_t actions = 0;

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

constexpr std::size_t kMegabyte = 1 << 19; // 512 Ki UTF-16 units: one megabyte of request text

struct Request {
    const char* name;
    std::u16string text;
};

std::vector<Request> Requests() {
    const std::u16string open = u"<invoke name=\"setReloadTips\" returntype=\"xml\"><arguments><string>";
    const std::u16string close = u"</string></arguments></invoke>";
    std::vector<Request> out;
    out.push_back({"1 MB setReloadTips text", open + Repeat(u"提示文字 text ", kMegabyte) + close});
    out.push_back({"1 MB of string arguments", u"<invoke name=\"foo\" returntype=\"xml\"><arguments>" +
                                                   Repeat(u"<string>x</string>", kMegabyte) +
                                                   u"</arguments></invoke>"});
    out.push_back(
        {"100,000 nested elements", Repeat(u"<a>", 300000).substr(0, 300000) + u"<invoke name=\"reload\"/>"});
    out.push_back({"1 MB of broken markup",
                   Repeat(u"<a><b></a></c><!x><!-x><![x]><1><!DOCTYPE d [<!x>]>", kMegabyte) + u"<e attr='"});
    out.push_back({"1 MB without invoke", Repeat(u"plain text & more ", kMegabyte)});
    out.push_back(
        {"attribute values full of references",
         u"<invoke name=\"foo\" a=\"" + Repeat(u"&amp;&#65;&#x42;&eacute;&bogus;", kMegabyte) + u"\"/>"});
    out.push_back({"one tag with 100,000 attributes", u"<invoke " + Repeat(u"a=1 ", 400000) + u"/>"});
    out.push_back({"one tag with 60,000 distinct attributes", [] {
                       std::u16string t = u"<invoke";
                       for (int i = 0; i < 60000; ++i) {
                           std::string n = " n" + std::to_string(i) + "=v";
                           t.append(n.begin(), n.end());
                       }
                       return t + u"/>";
                   }()});
    out.push_back({"one attribute name of 1 MB of brackets", u"<invoke a" + Repeat(u"[", kMegabyte) + u"/>"});
    return out;
}

double FastestMs(const std::function<void()>& run, int samples) {
    double best = 1e300;
    for (int i = 0; i < samples; ++i) {
        const auto t0 = Clock::now();
        run();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    const int samples = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::printf("%-42s %10s %12s %12s %8s %10s\n", "request", "units", "load ms", "bridge ms", "ratio",
                "pieces");
    for (const Request& r : Requests()) {
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
        std::printf("%-42s %10zu %12.2f %12.2f %8.2f %10zu\n", r.name, r.text.size(), load, bridge,
                    bridge / load, host.pieces);
    }
    return 0;
}
