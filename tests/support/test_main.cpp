// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry: a QApplication (offscreen) exists for every test program, so that widgets,
// QImage/QPainter text drawing and queued calls work the same as in the program.
#include <gtest/gtest.h>

#include <QApplication>

#include "base/thread_sanitizer_defaults.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
