#include <gtest/gtest.h>

#include "product/UProcess.h"

// Test programs start as the setup program does: the platform id is read once, first.
int wmain(int argc, wchar_t** argv) {
    GetOsPlatform();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
