#include "update/win/WinHeldFile.h"

#include "framework/Text.h"
#include "update/core/LongPath.h"
#include "update/win/CngSignatureChecker.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace kelvo {

std::optional<FileHead> ReadOpenFileHead(HANDLE file, std::size_t limit) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size) || size.QuadPart < 0)
        return std::nullopt;
    FileHead head;
    head.size = static_cast<std::uint64_t>(size.QuadPart);
    head.bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(limit, head.size)));
    std::size_t filled = 0;
    while (filled < head.bytes.size()) {
        DWORD got = 0;
        if (!::ReadFile(file, head.bytes.data() + filled,
                        static_cast<DWORD>(head.bytes.size() - filled), &got, nullptr))
            return std::nullopt;
        if (got == 0)
            break;
        filled += got;
    }
    head.bytes.resize(filled);
    return head;
}

std::unique_ptr<WinHeldFile> WinHeldFile::Open(const std::u16string& path) {
    // Write access for the flush, DELETE for the rename. Sharing for reading only: while the handle is
    // open, nobody else may write, truncate, delete or rename the file.
    UniqueFile file(::CreateFileW(ToWide(ToFileApiPath(path)).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                  FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return nullptr;
    return std::unique_ptr<WinHeldFile>(new WinHeldFile(std::move(file)));
}

bool WinHeldFile::Rewind() {
    LARGE_INTEGER start{};
    return ::SetFilePointerEx(m_file.get(), start, nullptr, FILE_BEGIN) != 0;
}

std::optional<FileHead> WinHeldFile::ReadHead(std::size_t limit) {
    if (!Rewind())
        return std::nullopt;
    return ReadOpenFileHead(m_file.get(), limit);
}

std::optional<Sha256Digest> WinHeldFile::Hash(SignatureChecker&) {
    if (!Rewind())
        return std::nullopt;
    return HashOpenFile(m_file.get());
}

bool WinHeldFile::Flush() {
    return ::FlushFileBuffers(m_file.get()) != 0;
}

bool WinHeldFile::RenameTo(const std::u16string& to) {
    const std::wstring name = ToWide(ToFileApiPath(to));
    const std::size_t nameBytes = name.size() * sizeof(wchar_t);
    // FILE_RENAME_INFO ends in the name; the buffer keeps room for its terminator.
    std::vector<unsigned char> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, name.c_str(), nameBytes + sizeof(wchar_t));
    return ::SetFileInformationByHandle(m_file.get(), FileRenameInfo, info,
                                        static_cast<DWORD>(buffer.size())) != 0;
}

} // namespace kelvo
