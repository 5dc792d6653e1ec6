// Entry point of the Windows tests: the platform libraries the program prepares at start-up are
// prepared once here, and an application object stands in for the program's.
#include "framework/CWinApp.h"

#include <commctrl.h>
#include "framework/GdiplusSession.h"
#include <gtest/gtest.h>

#include "test_support.h"

#include <cstdio>
#include <string>

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
    const int status = RUN_ALL_TESTS();
    if (GTEST_FLAG_GET(list_tests))
        return status;
    // A run that ran no test measured nothing, and neither did a child run whose test skipped: both
    // fail, saying so, instead of passing in silence.
    const ::testing::UnitTest& unit = *::testing::UnitTest::GetInstance();
    const std::string filter = GTEST_FLAG_GET(filter);
    if (unit.test_to_run_count() == 0) {
        std::printf("kelvo_win_tests: no test ran: none matches the filter %s\n", filter.c_str());
        return 1;
    }
    if (IsChildRun() && unit.skipped_test_count() > 0) {
        std::printf("kelvo_win_tests: a child run skipped %d of its %d tests (filter %s)\n",
                    unit.skipped_test_count(), unit.test_to_run_count(), filter.c_str());
        return 1;
    }
    return status;
}
