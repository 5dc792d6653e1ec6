// The GDI+ library's session: started by the constructor, shut down by the destructor, which must
// run after the last GDI+ object of the program is gone.
#pragma once

#include "framework/GdiplusHeaders.h"

namespace kelvo {

class GdiplusSession {
public:
    GdiplusSession() noexcept {
        const Gdiplus::GdiplusStartupInput input; // version 1, no debug callback, no suppression
        if (Gdiplus::GdiplusStartup(&m_token, &input, nullptr) != Gdiplus::Ok)
            m_token = 0;
    }
    ~GdiplusSession() {
        if (m_token)
            Gdiplus::GdiplusShutdown(m_token);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

private:
    ULONG_PTR m_token = 0;
};

} // namespace kelvo
