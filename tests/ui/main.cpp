// SPDX-License-Identifier: GPL-3.0-or-later
// The view tests need one QApplication; listing the tests (CTest's discovery) does not.
#include "ui/Translations.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<QApplication> app;
    std::unique_ptr<voxlane::Translations> english;
    if (!GTEST_FLAG_GET(list_tests)) {
        app = std::make_unique<QApplication>(argc, argv);
        // The interface in English, as an English session shows it, whatever this one's language.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        english = std::make_unique<voxlane::Translations>(QLocale());
    }
    return RUN_ALL_TESTS();
}
