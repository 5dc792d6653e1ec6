// Entry point of the Windows tests: the platform libraries the program prepares at start-up are
// prepared once here, and an application object stands in for the program's.
#include "framework/CWinApp.h"

#include <commctrl.h>
#include "framework/GdiplusSession.h"
#include <gtest/gtest.h>

using namespace kelvo;

namespace {
class TestApp : public CWinApp {};
TestApp g_app;
} // namespace

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), 0xFF};
    ::InitCommonControlsEx(&icc);
    const GdiplusSession gdiplus;
    AfxEnableControlContainer();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
