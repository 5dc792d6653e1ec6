// CNG's part of a signed update against vectors made with openssl (scripts/sign-update; only the
// public keys were kept), and the download's bounds against a loopback server.
#include "update_support.h"

#include "framework/Text.h"
#include "update/win/CngSignatureChecker.h"
#include "update/win/DownloadFile.h"

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

constexpr std::string_view kKeyA = "-----BEGIN PUBLIC KEY-----\n"
                                   "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE21DlhZFP0RRR6kQj+NprEJ5b4zIf\n"
                                   "wEH9acaYJVi9cRiEWhhEgXNaDsB2jIZwRUckqu2yKRwq3SjuXwA0p1r5AA==\n"
                                   "-----END PUBLIC KEY-----\n";
constexpr std::string_view kKeyB = "-----BEGIN PUBLIC KEY-----\n"
                                   "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEM5Kls/psXCpD2OBRa9fMGrMqrfny\n"
                                   "rlqyd131UmqI4aJsJLSutBUjAfPAI0ZLsKSSV7dgx9Ilm3eMw2w+bmqc8Q==\n"
                                   "-----END PUBLIC KEY-----\n";
// sign-update with key A's private half for a file holding "abc", version 1002.
constexpr std::string_view kSignatureAbc1002 =
    "hLlLlw/GVHPpzGhYxNlsr4AoAKl0RfbgpqFfBNXzIuc+VmixbC8+rL7AUiOOYDmCDcfsFz7pD05kADpXxciTWw==";
constexpr std::string_view kSha256Abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(UpdateSignatureCng, HashFile) {
    struct Case {
        std::string content;
        std::string_view sha256;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", kSha256Abc},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}, // many blocks
    };
    const std::wstring path = TempPath(L"kelvo_hash_test.bin");
    CngSignatureChecker checker;
    for (const Case& c : cases) {
        WriteFileBytes(path, c.content);
        const auto digest = checker.HashFile(ToU16(path));
        ASSERT_TRUE(digest) << c.content.size();
        EXPECT_EQ(ToHex(*digest), c.sha256) << c.content.size();
    }
    ::DeleteFileW(path.c_str());
    EXPECT_FALSE(checker.HashFile(ToU16(path)));
}

TEST(UpdateSignatureCng, Verify) {
    const std::optional<std::vector<std::byte>> bytes = DecodeBase64(kSignatureAbc1002);
    ASSERT_TRUE(bytes && bytes->size() == 64);
    Signature good{};
    std::copy(bytes->begin(), bytes->end(), good.begin());
    Signature flipped = good;
    flipped[40] ^= std::byte{0x01};
    Signature swapped{};
    std::copy(good.begin() + 32, good.end(), swapped.begin());
    std::copy(good.begin(), good.begin() + 32, swapped.begin() + 32);
    const std::string message = "kelvo-update\n1002\n" + std::string(kSha256Abc);
    const std::string otherFile = "kelvo-update\n1002\n" + std::string(64, 'a');
    struct Case {
        const char* name;
        std::string_view pem;
        std::string message;
        Signature signature;
        bool valid;
    };
    const Case cases[] = {
        {"good", kKeyA, message, good, true},
        {"another version", kKeyA, "kelvo-update\n1003\n" + std::string(kSha256Abc), good, false},
        {"another file", kKeyA, otherFile, good, false},
        {"another key", kKeyB, message, good, false},
        {"one bit flipped", kKeyA, message, flipped, false},
        {"r and s swapped", kKeyA, message, swapped, false},
        {"zeroes", kKeyA, message, Signature{}, false},
    };
    CngSignatureChecker checker;
    for (const Case& c : cases) {
        const std::optional<PublicKey> key = ReadPublicKeyPem(c.pem);
        ASSERT_TRUE(key) << c.name;
        EXPECT_EQ(checker.Verify(*key, c.message, c.signature), c.valid) << c.name;
    }
    // A point that is not on the curve does not import: refused, not trusted.
    PublicKey offCurve = *ReadPublicKeyPem(kKeyA);
    offCurve[63] ^= std::byte{0x01};
    EXPECT_FALSE(checker.Verify(offCurve, message, good));
}

// Past a bound the download fails without a message and leaves no file.
TEST(UpdateSignatureCng, DownloadBounds) {
    const std::string body(100000, 'k');
    struct Case {
        const char* name;
        std::function<void(SOCKET)> serve;
        bool complete;
    };
    const Case cases[] = {
        {"at the size bound",
         [&](SOCKET s) { LoopbackServer::Send(s, LoopbackServer::Reply("200 OK", body.substr(0, 65536))); },
         true},
        {"over it, announced",
         [&](SOCKET s) { LoopbackServer::Send(s, LoopbackServer::Reply("200 OK", body.substr(0, 65537))); },
         false},
        {"over it, unannounced", [&](SOCKET s) { LoopbackServer::Send(s, "HTTP/1.0 200 OK\r\n\r\n" + body); },
         false},
        {"trickle past the deadline",
         [&](SOCKET s) {
             LoopbackServer::Send(s, "HTTP/1.0 200 OK\r\nContent-Length: 40\r\n\r\n");
             for (int i = 0; i < 40; ++i) {
                 std::this_thread::sleep_for(std::chrono::milliseconds(100));
                 if (::send(s, "k", 1, 0) != 1)
                     return;
             }
         },
         false},
    };
    const std::wstring path = TempPath(L"kelvo_bounds_test.bin");
    const DownloadLimits limits{65536, std::chrono::milliseconds(1500)};
    for (const Case& c : cases) {
        update_test::MessageBoxAnswerer answerer;
        LoopbackServer server([&](SOCKET s, const std::string&) { c.serve(s); });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(DownloadFile(server.Url(L"/kelvo.exe"), path, limits), c.complete) << c.name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << c.name;
        EXPECT_EQ(Exists(path), c.complete) << c.name;
        EXPECT_TRUE(answerer.boxes().empty()) << c.name;
        ::DeleteFileW(path.c_str());
    }
}

} // namespace
