// Every engine test program starts here, with the user's folders isolated.
#include <gtest/gtest.h>

#include "support/isolated_home.h"

int main(int argc, char** argv) {
    const std::string root = tandrel::testing::IsolateUserFolders();
    if (root.empty()) return 2;
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    tandrel::testing::RemoveIsolatedFolders(root);
    return result;
}
