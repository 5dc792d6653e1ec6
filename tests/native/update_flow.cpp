// The update flow against a recorder: which files are deleted, fetched and renamed, in which order,
// and when an update is decided.
#include "update/core/UpdateFlow.h"

#include "pe_test_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace kelvo;

namespace {

std::string Narrow(std::u16string_view text) {
    std::string out;
    for (char16_t c : text)
        out += c < 128 ? static_cast<char>(c) : '#';
    return out;
}

// Files are names in a set; the manifest's values are given per test. Every call is logged.
class Recorder final : public UpdateEnvironment {
public:
    std::uint32_t ticks = 4242;
    std::u16string directory = u"C:\\game";
    std::set<std::u16string> files{u"C:\\game\\kelvo.exe", u"C:\\game\\kelvo_.exe"};
    std::set<std::u16string> failingDownloads;          // urls that fail
    std::set<std::u16string> failingRenames;            // "from>to" pairs that fail although possible
    std::vector<std::byte> body = pe_test::MakeImage(); // what a download of the executable writes
    bool flushFails = false;
    std::optional<std::int32_t> version = 1002;
    std::optional<std::u16string> url = u"http://h/kelvo.exe";
    std::optional<std::u16string> signature;
    std::vector<std::string> log;

    std::uint32_t TickCount() override { return ticks; }
    std::u16string CurrentDirectory() override { return directory; }
    void DeleteFile(const std::u16string& path) override {
        log.push_back("delete " + Narrow(path));
        files.erase(path);
    }
    bool Download(const std::u16string& from, const std::u16string& path) override {
        log.push_back("download " + Narrow(from) + " > " + Narrow(path));
        if (failingDownloads.count(from))
            return false;
        files.insert(path);
        return true;
    }
    std::int32_t ReadIniInt(const std::u16string& path, std::u16string_view section, std::u16string_view key,
                            std::int32_t fallback) override {
        log.push_back("int " + Narrow(path) + " [" + Narrow(section) + "] " + Narrow(key));
        return key == kVersionKey ? version.value_or(fallback) : fallback;
    }
    std::u16string ReadIniString(const std::u16string& path, std::u16string_view section,
                                 std::u16string_view key) override {
        log.push_back("string " + Narrow(path) + " [" + Narrow(section) + "] " + Narrow(key));
        const std::optional<std::u16string>& value = key == kUrlKey         ? url
                                                     : key == kSignatureKey ? signature
                                                                            : std::nullopt;
        return value.value_or(u"");
    }
    std::optional<FileHead> ReadHead(const std::u16string& path, std::size_t limit) override {
        log.push_back("head " + Narrow(path));
        if (!files.count(path))
            return std::nullopt;
        FileHead head{body, body.size()};
        if (head.bytes.size() > limit)
            head.bytes.resize(limit);
        return head;
    }
    bool FlushFile(const std::u16string& path) override {
        log.push_back("flush " + Narrow(path));
        return files.count(path) && !flushFails;
    }
    bool Rename(const std::u16string& from, const std::u16string& to) override {
        log.push_back("rename " + Narrow(from) + " > " + Narrow(to));
        if (!files.count(from) || files.count(to) || failingRenames.count(from + u">" + to))
            return false;
        files.erase(from);
        files.insert(to);
        return true;
    }
    void ShowUpdated() override { log.push_back("message"); }
    void Start(const std::u16string& path) override { log.push_back("start " + Narrow(path)); }
    void PostClose() override { log.push_back("close"); }

    UpdateOutcome Check() { return CheckForUpdate(*this, ManifestUrl(u"res:8080"), 1001); }
};

const std::string kManifestFetch =
    "download http://res:8080/front_resource/kelvo/weiduan/zarn/kelvoupdate.ini?4242 > "
    "C:\\game\\kelvoupdate.ini";

TEST(UpdateFlow, InstallsInOrder) {
    Recorder r;
    EXPECT_EQ(r.Check(), UpdateOutcome::Installed);
    const std::vector<std::string> expected = {
        "delete C:\\game\\kelvo_.exe",
        "delete C:\\game\\kelvoupdate.ini",
        "delete C:\\game\\kelvo_new.exe",
        kManifestFetch,
        "int C:\\game\\kelvoupdate.ini [LoginUpdate] VersionId",
        "string C:\\game\\kelvoupdate.ini [LoginUpdate] downloadUrl",
        "delete C:\\game\\kelvoupdate.ini",
        "download http://h/kelvo.exe?4242 > C:\\game\\kelvo_new.exe",
        "head C:\\game\\kelvo_new.exe",
        "flush C:\\game\\kelvo_new.exe",
        "rename C:\\game\\kelvo.exe > C:\\game\\kelvo_.exe",
        "rename C:\\game\\kelvo_new.exe > C:\\game\\kelvo.exe",
        "message",
        "start C:\\game\\kelvo.exe",
        "close",
        "delete C:\\game\\kelvoupdate.ini",
    };
    EXPECT_EQ(r.log, expected);
    EXPECT_EQ(r.files, (std::set<std::u16string>{u"C:\\game\\kelvo.exe", u"C:\\game\\kelvo_.exe"}));
}

TEST(UpdateFlow, NoManifestStopsAfterTheFetch) {
    Recorder r;
    r.failingDownloads.insert(ManifestUrl(u"res:8080") + u"?4242");
    EXPECT_EQ(r.Check(), UpdateOutcome::NoManifest);
    const std::vector<std::string> expected = {"delete C:\\game\\kelvo_.exe",
                                               "delete C:\\game\\kelvoupdate.ini",
                                               "delete C:\\game\\kelvo_new.exe", kManifestFetch};
    EXPECT_EQ(r.log, expected);
}

TEST(UpdateFlow, UpToDateDeletesTheManifestOnly) {
    Recorder r;
    r.version = 1001;
    EXPECT_EQ(r.Check(), UpdateOutcome::UpToDate);
    ASSERT_EQ(r.log.size(), 7u);
    EXPECT_EQ(r.log.back(), "delete C:\\game\\kelvoupdate.ini");
    EXPECT_FALSE(r.files.count(u"C:\\game\\kelvoupdate.ini"));
}

TEST(UpdateFlow, FailedExecutableDownloadMovesNothing) {
    Recorder r;
    r.failingDownloads.insert(u"http://h/kelvo.exe?4242");
    EXPECT_EQ(r.Check(), UpdateOutcome::NotInstalled);
    for (const std::string& entry : r.log) {
        EXPECT_EQ(entry.rfind("rename", 0), std::string::npos) << entry;
        EXPECT_NE(entry, "message");
    }
    EXPECT_TRUE(r.files.count(u"C:\\game\\kelvo.exe"));
}

TEST(UpdateFlow, StaleDownloadIsDeletedAtStart) {
    Recorder r;
    r.files.insert(u"C:\\game\\kelvo_new.exe");
    r.failingDownloads.insert(ManifestUrl(u"res:8080") + u"?4242");
    EXPECT_EQ(r.Check(), UpdateOutcome::NoManifest);
    EXPECT_FALSE(r.files.count(u"C:\\game\\kelvo_new.exe"));
}

// Whatever arrived with status 200 but cannot run here, and a file that cannot be made durable:
// nothing moves, no message, no restart; the old launcher stays.
TEST(UpdateFlow, RefusedDownloadsMoveNothing) {
    const std::uint16_t other =
        kelvo::kBuildMachine == kelvo::kMachineI386 ? kelvo::kMachineAmd64 : kelvo::kMachineI386;
    std::vector<std::byte> html;
    for (char c : std::string_view("<html><body>Sign in to continue</body></html>"))
        html.push_back(static_cast<std::byte>(c));
    std::vector<std::byte> cut = pe_test::MakeImage();
    cut.resize(cut.size() / 3);
    struct Refusal {
        const char* name;
        std::vector<std::byte> body;
        bool flushFails;
    };
    const Refusal refusals[] = {
        {"HTML page", html, false},
        {"cut short", cut, false},
        {"other architecture", pe_test::MakeImage({.machine = other}), false},
        {"zeroes", std::vector<std::byte>(pe_test::MakeImage().size()), false},
        {"flush fails", pe_test::MakeImage(), true},
    };
    for (const Refusal& c : refusals) {
        Recorder r;
        r.body = c.body;
        r.flushFails = c.flushFails;
        EXPECT_EQ(r.Check(), UpdateOutcome::NotInstalled) << c.name;
        for (const std::string& entry : r.log) {
            EXPECT_EQ(entry.rfind("rename", 0), std::string::npos) << c.name << ": " << entry;
            EXPECT_EQ(entry.rfind("start", 0), std::string::npos) << c.name << ": " << entry;
            EXPECT_NE(entry, "message") << c.name;
        }
        EXPECT_TRUE(r.files.count(u"C:\\game\\kelvo.exe")) << c.name;
    }
}

TEST(UpdateFlow, MissingLauncherStillInstalls) {
    Recorder r;
    r.files = {};
    EXPECT_EQ(r.Check(), UpdateOutcome::Installed);
    EXPECT_EQ(r.files, (std::set<std::u16string>{u"C:\\game\\kelvo.exe"}));
}

TEST(UpdateFlow, FailedSecondRenamePutsTheOldLauncherBack) {
    Recorder r;
    r.failingRenames.insert(u"C:\\game\\kelvo_new.exe>C:\\game\\kelvo.exe");
    EXPECT_EQ(r.Check(), UpdateOutcome::NotInstalled);
    const std::vector<std::string> tail(r.log.end() - 4, r.log.end());
    const std::vector<std::string> expected = {
        "rename C:\\game\\kelvo.exe > C:\\game\\kelvo_.exe",
        "rename C:\\game\\kelvo_new.exe > C:\\game\\kelvo.exe",
        "rename C:\\game\\kelvo_.exe > C:\\game\\kelvo.exe",
        "delete C:\\game\\kelvoupdate.ini",
    };
    EXPECT_EQ(tail, expected);
    EXPECT_TRUE(r.files.count(u"C:\\game\\kelvo.exe"));
}

TEST(UpdateFlow, UndeletablePreviousLauncherNeitherMessagesNorRestarts) {
    // kelvo_.exe survives the clean-up, so neither rename can succeed: the old launcher stays and
    // is not restarted into the same update again.
    Recorder sticky;
    sticky.files.insert(u"C:\\game\\kelvo_.exe");
    EXPECT_FALSE(InstallUpdate(sticky, u"C:\\game", u"http://h/kelvo.exe"));
    EXPECT_TRUE(sticky.files.count(u"C:\\game\\kelvo.exe"));
    EXPECT_TRUE(sticky.files.count(u"C:\\game\\kelvo_.exe"));
    for (const std::string& entry : sticky.log) {
        EXPECT_NE(entry, "message");
        EXPECT_EQ(entry.rfind("start", 0), std::string::npos);
    }
}

TEST(UpdateFlow, LongDirectoryIsUsedWhole) {
    Recorder r;
    r.directory = u"C:\\" + std::u16string(300, u'd');
    r.files = {r.directory + u"\\kelvo.exe"};
    EXPECT_EQ(r.Check(), UpdateOutcome::Installed);
    EXPECT_EQ(r.log[0], "delete C:\\" + std::string(300, 'd') + "\\kelvo_.exe");
    EXPECT_TRUE(r.files.count(r.directory + u"\\kelvo.exe"));
    EXPECT_TRUE(r.files.count(r.directory + u"\\kelvo_.exe"));
}

struct Decision {
    std::optional<std::int32_t> version;
    std::optional<std::u16string> url;
    bool due;
};

TEST(UpdateFlow, Decision) {
    const std::u16string longQuery = u"http://h/kelvo.exe?" + std::u16string(10240, u'q');
    const std::u16string longPath = u"http://h/" + std::u16string(10240, u'p') + u"/kelvo.exe";
    const Decision cases[] = {
        {1001, u"http://h/kelvo.exe", false},         // equal is not newer
        {1002, u"http://h/kelvo.exe", true},          //
        {1002, u".exe", false},                       // ".exe" at position 0
        {1002, u"x.exe", true},                       // ".exe" at position 1
        {1002, u"http://h/kelvo.zip", false},         // no ".exe"
        {1002, u"http://h/kelvo.EXE", false},         // case-sensitive
        {1002, u"http://h/k.exe?v=2&x=1", true},      // a query of its own
        {1002, std::nullopt, false},                  // no download address
        {std::nullopt, u"http://h/kelvo.exe", false}, // missing key or section reads as 0
        {0, u"http://h/kelvo.exe", false},            // garbage reads as 0
        {-5, u"http://h/kelvo.exe", false},           // negative
        {INT_MIN, u"http://h/kelvo.exe", false},      //
        {INT_MAX, u"http://h/kelvo.exe", true},       // huge
        {1002, longQuery, true},                      // cut to 259 units, ".exe" kept
        {1002, longPath, false},                      // cut before the ".exe"
    };
    for (const Decision& c : cases) {
        Recorder r;
        r.version = c.version;
        r.url = c.url;
        EXPECT_EQ(r.Check() == UpdateOutcome::Installed, c.due)
            << "version " << c.version.value_or(0) << " url " << Narrow(c.url.value_or(u"").substr(0, 40));
    }
}

TEST(UpdateFlow, TickSuffixFollowsTheDownloadAddress) {
    Recorder r;
    r.url = u"http://h/k.exe?v=2";
    r.ticks = 7;
    r.Check();
    EXPECT_EQ(r.log[7], "download http://h/k.exe?v=2?7 > C:\\game\\kelvo_new.exe");

    Recorder cut;
    cut.url = u"http://h/kelvo.exe?" + std::u16string(10240, u'q');
    cut.Check();
    const std::string expected = "download http://h/kelvo.exe?" + std::string(259 - 19, 'q') + "?4242 > ";
    EXPECT_EQ(cut.log[7].substr(0, expected.size()), expected);
}

TEST(UpdateFlow, TickSuffix) {
    EXPECT_EQ(TickSuffix(0), u"?0");
    EXPECT_EQ(TickSuffix(123456), u"?123456");
    EXPECT_EQ(TickSuffix(0x7FFFFFFFu), u"?2147483647");
    EXPECT_EQ(TickSuffix(0x80000000u), u"?-2147483648");
    EXPECT_EQ(TickSuffix(0xFFFFFFFFu), u"?-1");
}

TEST(UpdateFlow, ManifestUrl) {
    EXPECT_EQ(ManifestUrl(u"127.0.0.1:18601"),
              u"http://127.0.0.1:18601/front_resource/kelvo/weiduan/zarn/kelvoupdate.ini");
    // One manifest per architecture, in the same folder; the local copy keeps its name.
    EXPECT_EQ(ManifestUrl(u"res", kMachineI386),
              u"http://res/front_resource/kelvo/weiduan/zarn/kelvoupdate.ini");
    EXPECT_EQ(ManifestUrl(u"res", kMachineAmd64),
              u"http://res/front_resource/kelvo/weiduan/zarn/kelvoupdate-win64.ini");
    Recorder r;
    EXPECT_EQ(CheckForUpdate(r, ManifestUrl(u"res:8080", kMachineAmd64), 1001), UpdateOutcome::Installed);
    EXPECT_EQ(r.log[3],
              "download http://res:8080/front_resource/kelvo/weiduan/zarn/kelvoupdate-win64.ini?4242 > "
              "C:\\game\\kelvoupdate.ini");
}

// A signed build: the signature is read from the manifest before it goes, and checked on the
// downloaded file after the executable check and before anything is moved. Every refusal deletes
// the download, says why once, and shows nothing.
class SigningRecorder final : public SignatureChecker {
public:
    explicit SigningRecorder(std::vector<std::string>& log) : m_log(log) {}
    std::int32_t validFor = 1002; // the version the manifest's signature was made for
    std::vector<std::u16string> reasons;
    std::optional<Sha256Digest> HashFile(const std::u16string& path) override {
        m_log.push_back("hash " + Narrow(path));
        return Sha256Digest{};
    }
    bool Verify(const PublicKey&, std::string_view message, const Signature&) override {
        m_log.push_back("verify " + std::string(message.substr(0, 18)));
        const std::string signedFor = "kelvo-update\n" + std::to_string(validFor) + "\n";
        return message.substr(0, signedFor.size()) == signedFor;
    }
    void Refused(std::u16string_view reason) override { reasons.emplace_back(reason); }

private:
    std::vector<std::string>& m_log;
};

constexpr std::string_view kTestKeyPem = "-----BEGIN PUBLIC KEY-----\n"
                                         "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE21DlhZFP0RRR6kQj+NprEJ5b4zIf\n"
                                         "wEH9acaYJVi9cRiEWhhEgXNaDsB2jIZwRUckqu2yKRwq3SjuXwA0p1r5AA==\n"
                                         "-----END PUBLIC KEY-----\n";

// A signature that decodes to 64 bytes, valid for the version the checker is told.
const std::u16string kGoodSignature = std::u16string(86, u'A') + u"==";
struct SignatureCase {
    const char* name;
    std::u16string signature;
    std::int32_t validFor;
    std::u16string reason; // empty: installed
};

TEST(UpdateFlow, SignedInstall) {
    const std::u16string& good = kGoodSignature;
    const SignatureCase cases[] = {
        {"valid", good, 1002, u""},
        {"another version's", good, 1001,
         u"kelvo update refused: the Signature does not match this version, file and key"},
        {"missing", u"", 1002, u"kelvo update refused: the manifest carries no Signature"},
        {"malformed", u"*" + good.substr(1), 1002, u"kelvo update refused: the Signature is not base64"},
        {"short", good.substr(4), 1002, u"kelvo update refused: the Signature is not 64 bytes"},
    };
    for (const SignatureCase& c : cases) {
        Recorder r;
        r.files = {u"C:\\game\\kelvo.exe"};
        SigningRecorder checker(r.log);
        checker.validFor = c.validFor;
        const UpdateSettings settings{.publicKeyPem = kTestKeyPem, .signatures = &checker};
        const bool installed =
            InstallUpdate(r, u"C:\\game", u"http://h/kelvo.exe", settings, 1002, c.signature);
        EXPECT_EQ(installed, c.reason.empty()) << c.name;
        // A signature that cannot be one is refused before the download.
        const bool checked = c.signature == good;
        std::vector<std::string> expected;
        if (checked)
            expected = {"download http://h/kelvo.exe > C:\\game\\kelvo_new.exe",
                        "head C:\\game\\kelvo_new.exe", "hash C:\\game\\kelvo_new.exe",
                        "verify kelvo-update\n1002\n"};
        if (installed) {
            expected.insert(expected.end(), {"flush C:\\game\\kelvo_new.exe",
                                             "rename C:\\game\\kelvo.exe > C:\\game\\kelvo_.exe",
                                             "rename C:\\game\\kelvo_new.exe > C:\\game\\kelvo.exe",
                                             "message", "start C:\\game\\kelvo.exe", "close"});
            EXPECT_TRUE(checker.reasons.empty()) << c.name;
        } else {
            if (checked)
                expected.push_back("delete C:\\game\\kelvo_new.exe");
            EXPECT_EQ(checker.reasons, std::vector<std::u16string>{c.reason}) << c.name;
            EXPECT_EQ(r.files, std::set<std::u16string>{u"C:\\game\\kelvo.exe"}) << c.name;
        }
        EXPECT_EQ(r.log, expected) << c.name;
    }
}

// The check reads the signature while the manifest is still there and verifies it for the manifest's
// version, not the running build's; a build without a key reads nothing new (InstallsInOrder), and
// one with a key it cannot read installs nothing.
TEST(UpdateFlow, SignedCheckReadsTheSignature) {
    const std::u16string& good = kGoodSignature;
    const SignatureCase cases[] = {
        {"not base64", u"http://h/kelvo.exe", 1002, u"kelvo update refused: the Signature is not base64"},
        {"made for the manifest's version", good, 1002, u""},
        {"made for the built-in version", good, 1001,
         u"kelvo update refused: the Signature does not match this version, file and key"},
    };
    for (const SignatureCase& c : cases) {
        Recorder r;
        r.signature = c.signature;
        SigningRecorder checker(r.log);
        checker.validFor = c.validFor;
        const UpdateSettings settings{.publicKeyPem = kTestKeyPem, .signatures = &checker};
        EXPECT_EQ(CheckForUpdate(r, ManifestUrl(u"res:8080"), 1001, settings),
                  c.reason.empty() ? UpdateOutcome::Installed : UpdateOutcome::NotInstalled)
            << c.name;
        const std::vector<std::string> head(r.log.begin() + 4, r.log.begin() + 9);
        // A signature that cannot be one is refused before the download.
        const bool wellFormed = c.signature == good;
        const std::vector<std::string> expected = {
            "int C:\\game\\kelvoupdate.ini [LoginUpdate] VersionId",
            "string C:\\game\\kelvoupdate.ini [LoginUpdate] downloadUrl",
            "string C:\\game\\kelvoupdate.ini [LoginUpdate] Signature",
            "delete C:\\game\\kelvoupdate.ini",
            wellFormed ? "download http://h/kelvo.exe?4242 > C:\\game\\kelvo_new.exe"
                       : "delete C:\\game\\kelvoupdate.ini",
        };
        EXPECT_EQ(head, expected) << c.name;
        EXPECT_EQ(checker.reasons,
                  c.reason.empty() ? std::vector<std::u16string>{} : std::vector<std::u16string>{c.reason})
            << c.name;
    }

    for (const std::string_view pem : {std::string_view("-----BEGIN PUBLIC KEY-----"), kTestKeyPem}) {
        Recorder unkeyed;
        SigningRecorder accepting(unkeyed.log);
        // No checker at all, or a key that does not read: nothing is trusted.
        const UpdateSettings broken{.publicKeyPem = pem,
                                    .signatures = pem == kTestKeyPem ? nullptr : &accepting};
        EXPECT_FALSE(InstallUpdate(unkeyed, u"C:\\game", u"http://h/kelvo.exe", broken, 1002,
                                   std::u16string(86, u'A') + u"=="));
        EXPECT_FALSE(unkeyed.files.count(u"C:\\game\\kelvo_new.exe"));
        EXPECT_TRUE(unkeyed.log.empty()) << "nothing fetched with a key that does not read";
    }
}

} // namespace

namespace {

// The download is reached through one held file from its executable check to its rename: no call
// by its path may let another writer's bytes in between.
class HoldingRecorder final : public UpdateEnvironment {
public:
    Recorder inner;
    std::vector<std::string> held;

    class File final : public HeldFile {
    public:
        explicit File(HoldingRecorder& owner) : m_owner(owner) {}
        ~File() override { m_owner.held.push_back("close"); }
        std::optional<FileHead> ReadHead(std::size_t limit) override {
            m_owner.held.push_back("head");
            return FileHead{m_owner.inner.body, std::min<std::uint64_t>(limit, m_owner.inner.body.size())};
        }
        std::optional<Sha256Digest> Hash(SignatureChecker&) override {
            m_owner.held.push_back("hash");
            return Sha256Digest{};
        }
        bool Flush() override {
            m_owner.held.push_back("flush");
            return true;
        }
        bool RenameTo(const std::u16string& to) override {
            m_owner.held.push_back("rename > " + Narrow(to));
            return true;
        }

    private:
        HoldingRecorder& m_owner;
    };

    std::unique_ptr<HeldFile> Hold(const std::u16string& path) override {
        held.push_back("hold " + Narrow(path));
        return std::make_unique<File>(*this);
    }
    std::uint32_t TickCount() override { return inner.TickCount(); }
    std::u16string CurrentDirectory() override { return inner.CurrentDirectory(); }
    void DeleteFile(const std::u16string& path) override { inner.DeleteFile(path); }
    bool Download(const std::u16string& url, const std::u16string& path) override {
        return inner.Download(url, path);
    }
    std::int32_t ReadIniInt(const std::u16string& path, std::u16string_view section, std::u16string_view key,
                            std::int32_t fallback) override {
        return inner.ReadIniInt(path, section, key, fallback);
    }
    std::u16string ReadIniString(const std::u16string& path, std::u16string_view section,
                                 std::u16string_view key) override {
        return inner.ReadIniString(path, section, key);
    }
    std::optional<FileHead> ReadHead(const std::u16string& path, std::size_t limit) override {
        return inner.ReadHead(path, limit);
    }
    bool FlushFile(const std::u16string& path) override { return inner.FlushFile(path); }
    bool Rename(const std::u16string& from, const std::u16string& to) override {
        return inner.Rename(from, to);
    }
    void ShowUpdated() override { held.push_back("message"); }
    void Start(const std::u16string& path) override { inner.Start(path); }
    void PostClose() override { inner.PostClose(); }
};

TEST(UpdateFlow, DownloadIsHeldFromCheckToRename) {
    HoldingRecorder r;
    r.inner.files = {u"C:\\game\\kelvo.exe"};
    SigningRecorder checker(r.inner.log);
    const UpdateSettings settings{.publicKeyPem = kTestKeyPem, .signatures = &checker};
    EXPECT_TRUE(InstallUpdate(r, u"C:\\game", u"http://h/kelvo.exe", settings, 1002,
                              std::u16string(86, u'A') + u"=="));
    const std::vector<std::string> expected = {
        "hold C:\\game\\kelvo_new.exe", "head",  "hash",    "flush",
        "rename > C:\\game\\kelvo.exe", "close", "message",
    };
    EXPECT_EQ(r.held, expected);
    for (const std::string& entry : r.inner.log) {
        if (entry.find("kelvo_new.exe") != std::string::npos) {
            EXPECT_EQ(entry.rfind("download", 0), 0u) << "the download reached by its path: " << entry;
        }
    }
}

} // namespace
