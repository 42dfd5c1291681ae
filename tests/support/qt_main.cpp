// main() of the tests that need a QApplication: Qt's offscreen platform
// unless the harness chose one (its Xvfb), since test discovery runs the
// binary outside CTest's environment.
#include <QApplication>
#include <QIcon>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The panel's own symbols, not whatever theme the machine has.
    QIcon::setThemeName(QString());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
