// The progress window's decisions: what its line and bar show, when it redraws, and what Cancel and
// the download's end leave (one table), and the download loop's observer that may stop it, and the
// relay that carries the count to the window's thread and the stop back.
#include "update/core/DownloadFlow.h"
#include "update/core/DownloadProgressRelay.h"
#include "update/core/UpdateProgress.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace kelvo;
using std::chrono::milliseconds;

namespace {

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (const char16_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else { // three UTF-8 bytes cover the Chinese text here
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

constexpr std::uint64_t kMiB = 1 << 20;

TEST(UpdateProgress, TextBarAndState) {
    using enum UpdateProgressState;
    enum class End { None, Cancel, Complete, Failed, CancelThenFailed, CompleteThenCancel };
    struct Case {
        const char* name;
        bool started;
        std::optional<std::uint64_t> length;
        std::vector<std::pair<int, std::uint64_t>> receipts; // ms after the start, bytes so far
        End end;
        UpdateProgressState state;
        std::optional<int> bar;
        const char* text;
        int redraws; // TakeRedraw after each receipt
    };
    // One row a case, expectations on its second line.
    // clang-format off
    const Case cases[] = {
        {"first second: no rate yet", true, 3 * kMiB / 2, {{500, 512 * 1024}}, End::None,
         Downloading, 333, "已下载 512 KB / 1.5 MB", 1},
        {"rate of the last whole span", true, 3 * kMiB / 2, {{1000, 1135412}, {2000, 1258292}}, End::None,
         Downloading, 800, "已下载 1.2 MB / 1.5 MB (120 KB/s)", 2},
        {"a span shorter than a second keeps the last rate", true, 3 * kMiB / 2, {{1000, 102400}, {1500, 1258292}},
         End::None, Downloading, 800, "已下载 1.2 MB / 1.5 MB (100 KB/s)", 2},
        {"no length: marquee, no total", true, std::nullopt, {{1000, 102400}}, End::None,
         Downloading, std::nullopt, "已下载 100 KB (100 KB/s)", 1},
        {"sizes round down on each side of a MiB", true, kMiB, {{999, kMiB - 1}}, End::None,
         Downloading, 999, "已下载 1023 KB / 1.0 MB", 1},
        {"a rate of MBs", true, 64 * kMiB, {{2000, 5 * kMiB}}, End::None,
         Downloading, 78, "已下载 5.0 MB / 64.0 MB (2.5 MB/s)", 1},
        {"empty body announced: full", true, 0, {}, End::None,
         Downloading, 1000, "已下载 0 KB / 0 KB", 0},
        {"more than announced stays full", true, 1000, {{10, 2000}}, End::None,
         Downloading, 1000, "已下载 1 KB / 0 KB", 1},
        {"redrawn at most every 100 ms", true, 10 * kMiB, {{0, 1}, {50, 2}, {99, 3}, {100, 4}, {150, 5}, {250, 6}},
         End::None, Downloading, 0, "已下载 0 KB / 10.0 MB", 3},
        {"Cancel stops a running download", true, kMiB, {{10, 1024}}, End::Cancel,
         Cancelled, 0, "已下载 1 KB / 1.0 MB", 1},
        {"the download's failure after Cancel stays Cancel", true, kMiB, {}, End::CancelThenFailed,
         Cancelled, 0, "已下载 0 KB / 1.0 MB", 0},
        {"Cancel before any body: nothing runs, nothing stops", false, std::nullopt, {}, End::Cancel,
         Idle, std::nullopt, "已下载 0 KB", 0},
        {"complete", true, kMiB, {{10, kMiB}}, End::Complete,
         Done, 1000, "已下载 1.0 MB / 1.0 MB", 1},
        {"Cancel after the end changes nothing", true, kMiB, {{10, kMiB}}, End::CompleteThenCancel,
         Done, 1000, "已下载 1.0 MB / 1.0 MB", 1},
        {"dropped mid-body", true, kMiB, {{10, 4096}}, End::Failed,
         Failed, 3, "已下载 4 KB / 1.0 MB", 1},
        {"failed before the body (404, no connection): no window was shown", false, std::nullopt, {}, End::Failed,
         Failed, std::nullopt, "已下载 0 KB", 0},
        {"receipts after the end are ignored", true, kMiB, {}, End::Failed,
         Failed, 0, "已下载 0 KB / 1.0 MB", 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        UpdateProgress p;
        const milliseconds start{70000};
        if (c.started)
            p.Start(c.length, start);
        int redraws = 0;
        for (const auto& [at, bytes] : c.receipts) {
            p.Received(bytes, start + milliseconds(at));
            redraws += p.TakeRedraw(start + milliseconds(at)) ? 1 : 0;
        }
        switch (c.end) {
        case End::None:
            break;
        case End::Cancel:
            p.Cancel();
            break;
        case End::Complete:
            p.Finish(true);
            break;
        case End::Failed:
            p.Finish(false);
            p.Received(kMiB / 2, start + milliseconds(5000));
            break;
        case End::CancelThenFailed:
            p.Cancel();
            p.Finish(false);
            break;
        case End::CompleteThenCancel:
            p.Finish(true);
            p.Cancel();
            break;
        }
        EXPECT_EQ(p.State(), c.state) << c.name;
        EXPECT_EQ(p.Running(), c.state == UpdateProgressState::Downloading) << c.name;
        EXPECT_EQ(p.Bar(), c.bar) << c.name;
        EXPECT_EQ(Narrow(p.Text()), c.text) << c.name;
        EXPECT_EQ(redraws, c.redraws) << c.name;
    }
}

// A body of `body` bytes in blocks of 10240; records the observer's calls.
class Transport final : public DownloadTransport {
public:
    explicit Transport(int status, std::size_t body) : m_status(status), m_body(body) {}
    bool Send() override { return true; }
    std::optional<int> StatusCode() override { return m_status; }
    std::optional<std::uint64_t> ContentLength() override { return m_body; }
    void ShowDownloadFailed() override {}
    bool CreateDestination() override { return true; }
    std::optional<std::size_t> Read(std::span<std::byte> block) override {
        if (m_served > 0 && failSecondRead) { // the server went quiet; the wait ends with a stop, or not
            if (stopDuringRead)
                stopDuringRead->Stop();
            return std::nullopt;
        }
        const std::size_t n = std::min(block.size(), m_body - m_served);
        m_served += n;
        return n;
    }
    bool Write(std::span<const std::byte>) override { return true; }
    bool CloseDestination() override {
        closed = true;
        return true;
    }
    bool closed = false;
    bool failSecondRead = false;
    DownloadProgressRelay* stopDuringRead = nullptr;

private:
    int m_status;
    std::size_t m_body;
    std::size_t m_served = 0;
};

class Observer final : public DownloadObserver {
public:
    explicit Observer(std::size_t stopAt) : m_stopAt(stopAt) {}
    void BodyStarted(std::optional<std::uint64_t> announced) override {
        log.push_back("body " + std::to_string(announced.value_or(0)));
    }
    bool Continue(std::uint64_t received) override {
        log.push_back(std::to_string(received));
        return received < m_stopAt;
    }
    std::vector<std::string> log;

private:
    std::size_t m_stopAt;
};

TEST(UpdateProgress, TheObserverIsAskedBeforeEachReadAndMayStop) {
    struct Case {
        const char* name;
        int status;
        std::size_t stopAt;
        DownloadOutcome outcome;
        std::vector<std::string> log;
        bool closed;
    };
    const Case cases[] = {
        {"runs to the end",
         200,
         1 << 30,
         DownloadOutcome::Complete,
         {"body 25000", "0", "10240", "20480", "25000"},
         true},
        {"stopped before the second read",
         200,
         10240,
         DownloadOutcome::Cancelled,
         {"body 25000", "0", "10240"},
         false},
        {"not told of a refused answer", 404, 0, DownloadOutcome::Failed, {}, false},
    };
    for (const Case& c : cases) {
        Transport t(c.status, 25000);
        Observer o(c.stopAt);
        EXPECT_EQ(RunDownload(t, kExecutableLimits, SteadyNow, &o), c.outcome) << c.name;
        EXPECT_EQ(o.log, c.log) << c.name;
        EXPECT_EQ(t.closed, c.closed) << c.name;
    }
}

// What the window's thread reads of a download the relay observes, a stop set before a read, and a
// stop that ends a read waiting for a quiet server.
TEST(UpdateProgress, TheRelayCarriesTheCountOutAndTheStopIn) {
    const std::optional<std::optional<std::uint64_t>> notYet;
    DownloadProgressRelay relay;
    EXPECT_EQ(relay.Started(), notYet);
    Transport whole(200, 25000);
    EXPECT_EQ(RunDownload(whole, kExecutableLimits, SteadyNow, &relay), DownloadOutcome::Complete);
    EXPECT_EQ(relay.Started(), std::optional<std::uint64_t>(25000));
    EXPECT_EQ(relay.Received(), 25000u);

    DownloadProgressRelay stopped;
    stopped.Stop();
    Transport never(200, 25000);
    EXPECT_EQ(RunDownload(never, kExecutableLimits, SteadyNow, &stopped), DownloadOutcome::Cancelled);
    EXPECT_EQ(stopped.Received(), 0u);
    EXPECT_FALSE(never.closed);

    for (const bool stop : {true, false}) {
        DownloadProgressRelay relay2;
        Transport quiet(200, 25000);
        quiet.failSecondRead = true;
        quiet.stopDuringRead = stop ? &relay2 : nullptr;
        EXPECT_EQ(RunDownload(quiet, kExecutableLimits, SteadyNow, &relay2),
                  stop ? DownloadOutcome::Cancelled : DownloadOutcome::Failed);
    }

    DownloadProgressRelay refused;
    Transport missing(404, 0);
    EXPECT_EQ(RunDownload(missing, kExecutableLimits, SteadyNow, &refused), DownloadOutcome::Failed);
    EXPECT_EQ(refused.Started(), notYet);
}

} // namespace
