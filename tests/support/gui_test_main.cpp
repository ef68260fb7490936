// Every window test program starts here: the user's folders are isolated and
// one QApplication runs on Qt's offscreen platform unless a display is asked
// for explicitly.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "support/isolated_home.h"

int main(int argc, char** argv) {
    const std::string root = tandrel::testing::IsolateUserFolders();
    if (root.empty()) return 2;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    tandrel::testing::RemoveIsolatedFolders(root);
    return result;
}
