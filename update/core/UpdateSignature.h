// What a signed update must carry, decided without Windows: the message a publisher signs, the
// reading of the built-in public key and of the manifest's signature, and the order of the checks.
//
// A build configured with the publisher's ECDSA P-256 public key installs a new executable only
// when the manifest's "Signature" is the key's signature (r||s, 64 bytes, base64) over
//   "kelvo-update" LF VersionId-in-decimal LF lowercase-hex-SHA-256-of-the-file
// so that a signature binds one version number to one file. An old manifest replayed later is
// refused by the version rule already. The hashing and the ECDSA check are the platform's
// (SignatureChecker; CNG on Windows).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

inline constexpr std::u16string_view kSignatureKey = u"Signature";

using Sha256Digest = std::array<std::byte, 32>;
// The uncompressed P-256 point: X then Y, 32 bytes each, big-endian.
using PublicKey = std::array<std::byte, 64>;
// r then s, 32 bytes each, big-endian.
using Signature = std::array<std::byte, 64>;

class SignatureChecker {
public:
    virtual ~SignatureChecker() = default;

    // SHA-256 of the whole file; nothing when it cannot be read.
    virtual std::optional<Sha256Digest> HashFile(const std::u16string& path) = 0;
    // True when signature is key's ECDSA signature over the SHA-256 of message.
    virtual bool Verify(const PublicKey& key, std::string_view message, const Signature& signature) = 0;
    // One line on the debug output channel: why an update was refused.
    virtual void Refused(std::u16string_view reason) = 0;
};

enum class SignatureVerdict {
    Valid,
    NoKey,       // the built-in public key cannot be read: nothing can be trusted
    NoSignature, // the manifest has no "Signature", or an empty one
    NotBase64,
    WrongLength, // base64, but not 64 bytes
    Unreadable,  // the downloaded file cannot be hashed
    Mismatch,    // another version, another file or another key
};

// Lowercase hex, two digits a byte.
std::string ToHex(std::span<const std::byte> bytes);

// "kelvo-update\n" + version + "\n" + hex of the digest.
std::string SignedMessage(std::int32_t version, const Sha256Digest& fileDigest);

// Standard base64 with "=" padding, nothing else (no blanks, no line breaks); leftover bits must be
// zero, so that one byte string has one text.
std::optional<std::vector<std::byte>> DecodeBase64(std::string_view text);

// The first "PUBLIC KEY" block of a PEM text holding a P-256 key in its uncompressed form, as
// openssl writes it. Line breaks and blanks inside the block are skipped.
std::optional<PublicKey> ReadPublicKeyPem(std::string_view pem);

// The checks that need no file, made before anything is downloaded: the built-in key, then the
// form of the manifest's signature text. verdict is Valid when both read; key and signature then
// hold them.
struct SignatureForm {
    SignatureVerdict verdict = SignatureVerdict::NoKey;
    PublicKey key{};
    Signature signature{};
};
SignatureForm CheckSignatureForm(std::string_view publicKeyPem, std::u16string_view signatureText);

// The checks that need the file, given a form that read: its digest (nothing: it could not be
// read), then ECDSA over the version and the digest.
SignatureVerdict CheckSignedFile(SignatureChecker& checker, const SignatureForm& form, std::int32_t version,
                                 const std::optional<Sha256Digest>& fileDigest);

// The checks in order: key, signature text, file hash, ECDSA.
SignatureVerdict CheckUpdateSignature(SignatureChecker& checker, std::string_view publicKeyPem,
                                      std::int32_t version, std::u16string_view signatureText,
                                      const std::u16string& file);

// The debug line for a refusal.
std::u16string_view RefusalReason(SignatureVerdict verdict);

} // namespace kelvo
