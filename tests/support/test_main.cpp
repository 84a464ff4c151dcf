// Test entry: a QGuiApplication (offscreen) exists for every test program, so that
// QImage/QPainter text drawing and queued calls work the same as in the program.
#include <gtest/gtest.h>

#include <QGuiApplication>

#if defined(DM_TESTS_WITH_WIDGETS)
#include <QApplication>
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                      : qgetenv("QT_QPA_PLATFORM"));
#if defined(DM_TESTS_WITH_WIDGETS)
    QApplication app(argc, argv);
#else
    QGuiApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
