// The window tests run inside one application object, on the display the
// test command gives them (a virtual X server, or the offscreen platform).
#include <QApplication>
#include <gtest/gtest.h>

#include "tool/vanecfg/vanecfg_app.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    set_up_application(app);
    return RUN_ALL_TESTS();
}
