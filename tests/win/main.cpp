#include <gtest/gtest.h>

#include <windows.h>

#include "app/main_window.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    InitApplication(GetModuleHandleW(nullptr));
    return RUN_ALL_TESTS();
}
