#include "frame/win/OpenLink.h"

#include "frame/core/FrameButton.h"
#include "framework/SystemLibrary.h"
#include "framework/Text.h"

namespace kelvo {

void OpenLink(const std::wstring& address) {
    const std::wstring parameters = ToWide(FrameLinkParameters(ToU16(address)));
    StartSystemProgram(L"rundll32.exe", parameters.c_str());
}

} // namespace kelvo
