// Widget tests run with a real QApplication on the offscreen platform, with
// the program's own look and language.
#include <QApplication>
#include <gtest/gtest.h>

#include "app/look_and_language.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    applyLookAndLanguage(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
