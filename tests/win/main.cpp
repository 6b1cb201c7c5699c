#include <gtest/gtest.h>

#include "harness.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    InitTestProcess();
    return RUN_ALL_TESTS();
}
