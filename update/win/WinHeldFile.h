// The downloaded executable held through one handle, as the update installs it: read and written by
// this process only (others may read), renamed through the same handle.
#pragma once

#include "update/core/UpdateFlow.h"

#include "framework/Handles.h"

#include <windows.h>

#include <memory>
#include <string>

namespace kelvo {

// The size of an open file and up to LIMIT bytes from where its file pointer stands.
std::optional<FileHead> ReadOpenFileHead(HANDLE file, std::size_t limit);

class WinHeldFile final : public HeldFile {
public:
    // Nothing when the file cannot be opened so, for instance while another program writes it.
    static std::unique_ptr<WinHeldFile> Open(const std::u16string& path);

    std::optional<FileHead> ReadHead(std::size_t limit) override;
    // Through the handle with CNG: the checker's own hash would have to open the file again.
    std::optional<Sha256Digest> Hash(SignatureChecker& checker) override;
    bool Flush() override;
    bool RenameTo(const std::u16string& to) override;

private:
    explicit WinHeldFile(UniqueFile file) noexcept : m_file(std::move(file)) {}
    bool Rewind();

    UniqueFile m_file;
};

} // namespace kelvo
