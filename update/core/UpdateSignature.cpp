#include "update/core/UpdateSignature.h"

#include <algorithm>

namespace kelvo {

namespace {

// The DER of a SubjectPublicKeyInfo for an uncompressed P-256 point up to the point's X:
// SEQUENCE { SEQUENCE { OID ecPublicKey, OID prime256v1 }, BIT STRING { 0x04 X Y } }. DER has one
// encoding per value, so a byte comparison is a complete reading of this one shape.
constexpr unsigned char kSpkiPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                         0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                         0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

std::string ToHex(std::span<const std::byte> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const std::byte b : bytes) {
        hex += kDigits[std::to_integer<unsigned>(b) >> 4];
        hex += kDigits[std::to_integer<unsigned>(b) & 0xF];
    }
    return hex;
}

std::string SignedMessage(std::int32_t version, const Sha256Digest& fileDigest) {
    return "kelvo-update\n" + std::to_string(version) + "\n" + ToHex(fileDigest);
}

std::optional<std::vector<std::byte>> DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::vector<std::byte> out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t at = 0; at < text.size(); at += 4) {
        const bool last = at + 4 == text.size();
        // "xx==" and "xxx=" end the text; "=" nowhere else.
        const std::size_t padding =
            last ? (text[at + 3] == '=') + (text[at + 2] == '=' && text[at + 3] == '=') : 0;
        std::uint32_t bits = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const int value = i < 4 - padding ? Base64Value(text[at + i]) : 0;
            if (value < 0)
                return std::nullopt;
            bits = bits << 6 | static_cast<std::uint32_t>(value);
        }
        const std::size_t bytes = 3 - padding;
        if ((bits & ((1u << (8 * padding)) - 1)) != 0)
            return std::nullopt;
        for (std::size_t i = 0; i < bytes; ++i)
            out.push_back(static_cast<std::byte>(bits >> (16 - 8 * i)));
    }
    return out;
}

std::optional<PublicKey> ReadPublicKeyPem(std::string_view pem) {
    constexpr std::string_view kBegin = "-----BEGIN PUBLIC KEY-----";
    constexpr std::string_view kEnd = "-----END PUBLIC KEY-----";
    const std::size_t begin = pem.find(kBegin);
    if (begin == std::string_view::npos)
        return std::nullopt;
    const std::size_t end = pem.find(kEnd, begin + kBegin.size());
    if (end == std::string_view::npos)
        return std::nullopt;
    std::string body;
    for (const char c : pem.substr(begin + kBegin.size(), end - begin - kBegin.size()))
        if (c != '\r' && c != '\n' && c != ' ' && c != '\t')
            body += c;
    const std::optional<std::vector<std::byte>> der = DecodeBase64(body);
    PublicKey key{};
    if (!der || der->size() != sizeof kSpkiPrefix + key.size())
        return std::nullopt;
    for (std::size_t i = 0; i < sizeof kSpkiPrefix; ++i)
        if ((*der)[i] != static_cast<std::byte>(kSpkiPrefix[i]))
            return std::nullopt;
    std::copy(der->begin() + sizeof kSpkiPrefix, der->end(), key.begin());
    return key;
}

SignatureForm CheckSignatureForm(std::string_view publicKeyPem, std::u16string_view signatureText) {
    SignatureForm form;
    const std::optional<PublicKey> key = ReadPublicKeyPem(publicKeyPem);
    if (!key)
        return form;
    form.key = *key;
    form.verdict = SignatureVerdict::NoSignature;
    if (signatureText.empty())
        return form;
    form.verdict = SignatureVerdict::NotBase64;
    std::string ascii;
    for (const char16_t c : signatureText) {
        if (c >= 0x80)
            return form;
        ascii += static_cast<char>(c);
    }
    const std::optional<std::vector<std::byte>> bytes = DecodeBase64(ascii);
    if (!bytes)
        return form;
    form.verdict = SignatureVerdict::WrongLength;
    if (bytes->size() != form.signature.size())
        return form;
    std::copy(bytes->begin(), bytes->end(), form.signature.begin());
    form.verdict = SignatureVerdict::Valid;
    return form;
}

SignatureVerdict CheckSignedFile(SignatureChecker& checker, const SignatureForm& form, std::int32_t version,
                                 const std::optional<Sha256Digest>& fileDigest) {
    if (form.verdict != SignatureVerdict::Valid)
        return form.verdict;
    if (!fileDigest)
        return SignatureVerdict::Unreadable;
    return checker.Verify(form.key, SignedMessage(version, *fileDigest), form.signature)
               ? SignatureVerdict::Valid
               : SignatureVerdict::Mismatch;
}

SignatureVerdict CheckUpdateSignature(SignatureChecker& checker, std::string_view publicKeyPem,
                                      std::int32_t version, std::u16string_view signatureText,
                                      const std::u16string& file) {
    const SignatureForm form = CheckSignatureForm(publicKeyPem, signatureText);
    if (form.verdict != SignatureVerdict::Valid)
        return form.verdict;
    return CheckSignedFile(checker, form, version, checker.HashFile(file));
}

std::u16string_view RefusalReason(SignatureVerdict verdict) {
    struct Reason {
        SignatureVerdict verdict;
        std::u16string_view text;
    };
    static constexpr Reason kReasons[] = {
        {SignatureVerdict::Valid, u"kelvo update: signature valid"},
        {SignatureVerdict::NoKey, u"kelvo update refused: the built-in update key cannot be read"},
        {SignatureVerdict::NoSignature, u"kelvo update refused: the manifest carries no Signature"},
        {SignatureVerdict::NotBase64, u"kelvo update refused: the Signature is not base64"},
        {SignatureVerdict::WrongLength, u"kelvo update refused: the Signature is not 64 bytes"},
        {SignatureVerdict::Unreadable, u"kelvo update refused: the downloaded file cannot be read"},
    };
    for (const Reason& r : kReasons)
        if (r.verdict == verdict)
            return r.text;
    return u"kelvo update refused: the Signature does not match this version, file and key";
}

} // namespace kelvo
