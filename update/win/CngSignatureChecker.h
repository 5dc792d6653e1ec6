// SignatureChecker over CNG (bcrypt): SHA-256 and ECDSA P-256 with the calls Windows 7 has.
#pragma once

#include "update/core/UpdateSignature.h"

#include <windows.h>

namespace kelvo {

// SHA-256 of what remains to be read of an open file, read to its end.
std::optional<Sha256Digest> HashOpenFile(HANDLE file);

class CngSignatureChecker final : public SignatureChecker {
public:
    std::optional<Sha256Digest> HashFile(const std::u16string& path) override;
    bool Verify(const PublicKey& key, std::string_view message, const Signature& signature) override;
    // OutputDebugStringW.
    void Refused(std::u16string_view reason) override;
};

} // namespace kelvo
