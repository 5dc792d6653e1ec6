// The frame's links leave the program: the system's handler opens them.
#pragma once

#include <string>

namespace kelvo {

// Opens an address with the system's handler for its protocol, outside the program.
void OpenLink(const std::wstring& address);

} // namespace kelvo
