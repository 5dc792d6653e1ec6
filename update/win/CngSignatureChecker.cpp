#include "update/win/CngSignatureChecker.h"

#include "framework/Handles.h"
#include "framework/Text.h"
#include "update/core/LongPath.h"

#include <bcrypt.h>

#include <cstring>
#include <vector>

namespace kelvo {

namespace {

void CloseAlgorithm(BCRYPT_ALG_HANDLE h) noexcept {
    ::BCryptCloseAlgorithmProvider(h, 0);
}
using UniqueAlgorithm = UniqueHandle<BCRYPT_ALG_HANDLE, &CloseAlgorithm>;
using UniqueHash = UniqueHandle<BCRYPT_HASH_HANDLE, &::BCryptDestroyHash>;
using UniqueKey = UniqueHandle<BCRYPT_KEY_HANDLE, &::BCryptDestroyKey>;

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

UniqueAlgorithm OpenAlgorithm(const wchar_t* id) {
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!Succeeded(::BCryptOpenAlgorithmProvider(&handle, id, nullptr, 0)))
        return {};
    return UniqueAlgorithm(handle);
}

// SHA-256 fed by the caller: BCryptHash, the one-call form, is not in Windows 7.
class Sha256 {
public:
    Sha256() : m_algorithm(OpenAlgorithm(BCRYPT_SHA256_ALGORITHM)) {
        BCRYPT_HASH_HANDLE handle = nullptr;
        // Windows 7 wants the object buffer from the caller.
        DWORD objectSize = 0;
        ULONG got = 0;
        if (!m_algorithm || !Succeeded(::BCryptGetProperty(m_algorithm.get(), BCRYPT_OBJECT_LENGTH,
                                                           reinterpret_cast<PUCHAR>(&objectSize),
                                                           sizeof objectSize, &got, 0)))
            return;
        m_object.resize(objectSize);
        if (Succeeded(
                ::BCryptCreateHash(m_algorithm.get(), &handle, m_object.data(), objectSize, nullptr, 0, 0)))
            m_hash.reset(handle);
    }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    bool Add(const void* data, std::size_t size) {
        return m_hash &&
               Succeeded(::BCryptHashData(m_hash.get(), static_cast<PUCHAR>(const_cast<void*>(data)),
                                          static_cast<ULONG>(size), 0));
    }
    std::optional<Sha256Digest> Finish() {
        Sha256Digest digest{};
        if (!m_hash || !Succeeded(::BCryptFinishHash(m_hash.get(), reinterpret_cast<PUCHAR>(digest.data()),
                                                     static_cast<ULONG>(digest.size()), 0)))
            return std::nullopt;
        return digest;
    }

private:
    // Destroyed in reverse: the hash, its object buffer, then the provider.
    UniqueAlgorithm m_algorithm;
    std::vector<UCHAR> m_object;
    UniqueHash m_hash;
};

} // namespace

std::optional<Sha256Digest> HashOpenFile(HANDLE file) {
    Sha256 hash;
    std::vector<char> block(64 << 10);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file, block.data(), static_cast<DWORD>(block.size()), &got, nullptr))
            return std::nullopt;
        if (got == 0)
            return hash.Finish();
        if (!hash.Add(block.data(), got))
            return std::nullopt;
    }
}

std::optional<Sha256Digest> CngSignatureChecker::HashFile(const std::u16string& path) {
    UniqueFile file(::CreateFileW(ToWide(ToFileApiPath(path)).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return std::nullopt;
    return HashOpenFile(file.get());
}

bool CngSignatureChecker::Verify(const PublicKey& key, std::string_view message, const Signature& signature) {
    Sha256 hash;
    if (!hash.Add(message.data(), message.size()))
        return false;
    const std::optional<Sha256Digest> digest = hash.Finish();
    if (!digest)
        return false;

    const UniqueAlgorithm ecdsa = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!ecdsa)
        return false;
    // BCRYPT_ECCKEY_BLOB followed by X and Y.
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + key.size());
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, static_cast<ULONG>(key.size() / 2)};
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, key.data(), key.size());
    BCRYPT_KEY_HANDLE handle = nullptr;
    if (!Succeeded(::BCryptImportKeyPair(ecdsa.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &handle, blob.data(),
                                         static_cast<ULONG>(blob.size()), 0)))
        return false;
    const UniqueKey publicKey(handle);
    Sha256Digest digestCopy = *digest;
    Signature signatureCopy = signature; // the call takes non-const buffers
    // Anything but success (STATUS_INVALID_SIGNATURE, a parameter error) refuses.
    return ::BCryptVerifySignature(publicKey.get(), nullptr, reinterpret_cast<PUCHAR>(digestCopy.data()),
                                   static_cast<ULONG>(digestCopy.size()),
                                   reinterpret_cast<PUCHAR>(signatureCopy.data()),
                                   static_cast<ULONG>(signatureCopy.size()), 0) == 0;
}

void CngSignatureChecker::Refused(std::u16string_view reason) {
    ::OutputDebugStringW(ToWide(reason).c_str());
}

} // namespace kelvo
