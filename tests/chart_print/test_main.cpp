// The preview dialog and the printer need a QApplication; it runs on the offscreen platform.
#include <gtest/gtest.h>

#include "ui/offscreen_app.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    quorvel::EnsureOffscreenApplication(true);
    return RUN_ALL_TESTS();
}
