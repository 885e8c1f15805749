// SPDX-License-Identifier: GPL-3.0-or-later
// The shell tests need one QApplication; listing the tests (CTest's discovery) does not.
#include "ui/Translations.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<QApplication> app;
    std::unique_ptr<voxlane::Translations> english;
    if (!GTEST_FLAG_GET(list_tests)) {
        // The offscreen platform reports each window operation it cannot carry out (raising,
        // opacity, size hints); the tests know, so those notes are left out of their output.
        qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
                if (!text.startsWith("This plugin does not support") &&
                    !text.contains("systemTrayWindowChanged"))
                    fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
            });
        app = std::make_unique<QApplication>(argc, argv);
        // The interface in English, as an English session shows it, whatever this one's language.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        english = std::make_unique<voxlane::Translations>(QLocale());
    }
    return RUN_ALL_TESTS();
}
