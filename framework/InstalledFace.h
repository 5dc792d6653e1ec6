// Picking a font face by name among those installed: a face asked for by character set alone may
// lack the Latin letters, and Wine has no Chinese face unless a package brought one. Header only,
// so that the stand-in controls can use it too.
#pragma once

#include "framework/Handles.h"

#include <initializer_list>

namespace kelvo {

// A font enumeration callback (a lambda would not have the callback's calling convention).
inline int CALLBACK InstalledFaceSeen(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM seen) {
    *reinterpret_cast<bool*>(seen) = true;
    return 0; // one is enough
}

// The first of the candidate faces that is installed on this system, or nullptr.
inline const wchar_t* FirstInstalledFace(std::initializer_list<const wchar_t*> candidates) noexcept {
    WindowDc screen(nullptr);
    for (const wchar_t* candidate : candidates) {
        LOGFONTW lf{};
        lf.lfCharSet = DEFAULT_CHARSET;
        ::lstrcpynW(lf.lfFaceName, candidate, LF_FACESIZE);
        bool seen = false;
        ::EnumFontFamiliesExW(screen.get(), &lf, InstalledFaceSeen, reinterpret_cast<LPARAM>(&seen), 0);
        if (seen)
            return candidate;
    }
    return nullptr;
}

} // namespace kelvo
