#include <gtest/gtest.h>

#include <windows.h>

#include "harness.h"
#include "windows/app/main_window.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    InitApplication();
    int result = RUN_ALL_TESTS();
    // Every closed window saved its settings; the demo, which shares the prefix, should not find them.
    DeleteSettings();
    return result;
}
