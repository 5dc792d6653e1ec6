// What counts as a complete download: status, announced length, read and write failures, and the
// one fixed-size block the body streams through.
#include "update/core/DownloadFlow.h"
#include "update/core/LongPath.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kelvo;

namespace {

// Serves a body in reads of at most `chunk` bytes; optionally fails a step.
class FakeTransport final : public DownloadTransport {
public:
    bool sendOk = true;
    std::optional<int> status = 200;
    std::optional<std::uint64_t> length;
    std::size_t body = 0;
    std::size_t chunk = kReadBlockSize;
    bool createOk = true;
    std::optional<std::size_t> failReadAt; // read failure once this many bytes were served
    std::optional<std::size_t> failWriteAt;
    bool closeOk = true;

    std::vector<std::string> log;
    std::size_t served = 0;
    std::size_t written = 0;
    std::size_t largestBlock = 0;
    bool created = false;

    bool Send() override {
        log.push_back("send");
        return sendOk;
    }
    std::optional<int> StatusCode() override { return status; }
    std::optional<std::uint64_t> ContentLength() override { return length; }
    void ShowDownloadFailed() override { log.push_back("message"); }
    bool CreateDestination() override {
        log.push_back("create");
        created = createOk;
        return createOk;
    }
    std::optional<std::size_t> Read(std::span<std::byte> block) override {
        largestBlock = std::max(largestBlock, block.size());
        if (failReadAt && served >= *failReadAt)
            return std::nullopt;
        const std::size_t n = std::min({chunk, block.size(), body - served});
        served += n;
        return n;
    }
    bool Write(std::span<const std::byte> bytes) override {
        if (failWriteAt && written + bytes.size() > *failWriteAt)
            return false;
        written += bytes.size();
        return true;
    }
    bool CloseDestination() override {
        log.push_back("close");
        return closeOk;
    }
};

TEST(UpdateDownload, WholeBodyWithAndWithoutLength) {
    FakeTransport announced;
    announced.body = 100000;
    announced.length = 100000;
    EXPECT_TRUE(RunDownload(announced));
    EXPECT_EQ(announced.written, 100000u);
    EXPECT_EQ(announced.largestBlock, 10240u);
    EXPECT_EQ(announced.log, (std::vector<std::string>{"send", "create", "close"}));

    FakeTransport unannounced;
    unannounced.body = 12345;
    unannounced.chunk = 1000;
    EXPECT_TRUE(RunDownload(unannounced));
    EXPECT_EQ(unannounced.written, 12345u);
}

TEST(UpdateDownload, EmptyBodyGivesAnEmptyFile) {
    FakeTransport t;
    t.length = 0;
    EXPECT_TRUE(RunDownload(t));
    EXPECT_TRUE(t.created);
    EXPECT_EQ(t.written, 0u);
}

TEST(UpdateDownload, StatusOtherThan200IsShownOnceAndLeavesTheFileAlone) {
    for (int status : {404, 500, 302, 201}) {
        FakeTransport t;
        t.status = status;
        t.body = 10;
        EXPECT_FALSE(RunDownload(t));
        EXPECT_EQ(t.log, (std::vector<std::string>{"send", "message"})) << status;
    }
}

TEST(UpdateDownload, SilentFailures) {
    FakeTransport unsent;
    unsent.sendOk = false;
    EXPECT_FALSE(RunDownload(unsent));
    EXPECT_EQ(unsent.log, std::vector<std::string>{"send"});

    FakeTransport noStatus; // the connection ended before a status line
    noStatus.status = std::nullopt;
    EXPECT_FALSE(RunDownload(noStatus));
    EXPECT_EQ(noStatus.log, std::vector<std::string>{"send"});

    FakeTransport uncreatable;
    uncreatable.createOk = false;
    EXPECT_FALSE(RunDownload(uncreatable));
    EXPECT_EQ(uncreatable.log, (std::vector<std::string>{"send", "create"}));

    FakeTransport readFails;
    readFails.body = 50000;
    readFails.failReadAt = 20480;
    EXPECT_FALSE(RunDownload(readFails));
    EXPECT_EQ(readFails.written, 20480u);
}

TEST(UpdateDownload, BodyShorterThanAnnouncedFails) {
    FakeTransport t;
    t.body = 30000;
    t.length = 30001;
    EXPECT_FALSE(RunDownload(t));

    FakeTransport exact;
    exact.body = 30000;
    exact.length = 30000;
    EXPECT_TRUE(RunDownload(exact));
}

TEST(UpdateDownload, FailedWriteFails) {
    FakeTransport diskFull;
    diskFull.body = 50000;
    diskFull.failWriteAt = 25000;
    EXPECT_FALSE(RunDownload(diskFull));

    FakeTransport lostAtClose;
    lostAtClose.body = 500;
    lostAtClose.closeOk = false;
    EXPECT_FALSE(RunDownload(lostAtClose));
}

TEST(UpdateDownload, ContentLength) {
    EXPECT_EQ(ParseContentLength(u"0"), 0u);
    EXPECT_EQ(ParseContentLength(u" 67108864 "), 67108864u);
    EXPECT_EQ(ParseContentLength(u"18446744073709551615"), 18446744073709551615u);
    EXPECT_EQ(ParseContentLength(u"18446744073709551616"), std::nullopt);
    EXPECT_EQ(ParseContentLength(u""), std::nullopt);
    EXPECT_EQ(ParseContentLength(u"-1"), std::nullopt);
    EXPECT_EQ(ParseContentLength(u"12abc"), std::nullopt);
}

// The bounds: a body larger than allowed, announced or not, and one still arriving at the deadline.
// The clock advances by `tick` at every look, so the deadline is reached after a known number of reads.
TEST(UpdateDownload, Bounds) {
    struct Case {
        const char* name;
        std::size_t body;
        std::optional<std::uint64_t> length;
        std::chrono::milliseconds tick;
        DownloadOutcome outcome;
        std::size_t written;
        std::vector<std::string> log;
    };
    const DownloadLimits limits{65536, std::chrono::milliseconds(1000)};
    const std::vector<std::string> whole = {"send", "create", "close"};
    const std::vector<std::string> cut = {"send", "create"};
    const Case cases[] = {
        {"at the size bound", 65536, std::nullopt, {}, DownloadOutcome::Complete, 65536, whole},
        {"one byte over, unannounced", 65537, std::nullopt, {}, DownloadOutcome::OverLimit, 61440, cut},
        {"endless", 1u << 30, std::nullopt, {}, DownloadOutcome::OverLimit, 61440, cut},
        {"announced at the bound", 65536, 65536, {}, DownloadOutcome::Complete, 65536, whole},
        {"announced one over", 65537, 65537, {}, DownloadOutcome::OverLimit, 0, {"send"}},
        // 250 ms per look: the fourth read starts at the deadline, the fifth after it.
        {"within the deadline", 3 * 10240, std::nullopt, std::chrono::milliseconds(250),
         DownloadOutcome::Complete, 3 * 10240, whole},
        {"trickle past the deadline", 100000, std::nullopt, std::chrono::milliseconds(250),
         DownloadOutcome::OverLimit, 4 * 10240, cut},
    };
    for (const Case& c : cases) {
        FakeTransport t;
        t.body = c.body;
        t.length = c.length;
        std::chrono::milliseconds now{5000};
        const DownloadClock clock = [&] { return now += c.tick; };
        EXPECT_EQ(RunDownload(t, limits, clock), c.outcome) << c.name;
        EXPECT_EQ(t.written, c.written) << c.name;
        EXPECT_EQ(t.log, c.log) << c.name;
    }
}

TEST(UpdateLongPath, ExtendedFormOnlyAtTheLimit) {
    const std::u16string fits = u"C:\\" + std::u16string(256, u'a'); // 259 units
    EXPECT_EQ(ToFileApiPath(fits), fits);
    const std::u16string full = fits + u"b"; // 260 units
    EXPECT_EQ(ToFileApiPath(full), u"\\\\?\\" + full);
    const std::u16string unc = u"\\\\srv\\share\\" + std::u16string(260, u'a');
    EXPECT_EQ(ToFileApiPath(unc), u"\\\\?\\UNC\\srv\\share\\" + std::u16string(260, u'a'));
    const std::u16string already = u"\\\\?\\C:\\" + std::u16string(260, u'a');
    EXPECT_EQ(ToFileApiPath(already), already);
    const std::u16string relative = std::u16string(300, u'r');
    EXPECT_EQ(ToFileApiPath(relative), relative);
}

} // namespace
