// The application object: prepares the platform libraries, runs the frame modally for the
// program's whole life and shuts down when it ends.
#pragma once

#include "framework/CWinApp.h"
#include "framework/GdiplusSession.h"

#include <optional>

namespace kelvo {

class CtarvinApp : public CWinApp {
public:
    CtarvinApp() noexcept;

    BOOL InitInstance() override;
    int ExitInstance() override;

private:
    std::optional<GdiplusSession> m_gdiplus;
};

} // namespace kelvo
