// SPDX-License-Identifier: GPL-3.0-or-later
// The view tests need one QApplication; listing the tests (CTest's discovery) does not.
#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<QApplication> app;
    if (!GTEST_FLAG_GET(list_tests)) app = std::make_unique<QApplication>(argc, argv);
    return RUN_ALL_TESTS();
}
