#include "common/command_line.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace tandrel {
namespace {

class CommandLine : public ::testing::Test {
protected:
    ~CommandLine() override { SetCommandLineArgs({}); }
};

TEST_F(CommandLine, SwitchesMatchWithOrWithoutSlash) {
    SetCommandLineArgs({"/home/user/folder", "/debug", "treemap", "Noinstall"});
    EXPECT_EQ(CommandLineArgs().size(), 4u);
    EXPECT_TRUE(HasSwitch("debug"));
    EXPECT_TRUE(HasSwitch("/debug"));
    EXPECT_TRUE(HasSwitch("treemap"));
    EXPECT_TRUE(HasSwitch("/treemap"));
    EXPECT_EQ(SwitchIndex("debug"), 2);
    EXPECT_EQ(SwitchIndex("treemap"), 3);
    // Names compare exactly.
    EXPECT_FALSE(HasSwitch("noinstall"));
    EXPECT_FALSE(HasSwitch("debu"));
    EXPECT_EQ(SwitchIndex("duplicates"), -1);
    EXPECT_EQ(SwitchIndex(""), -1);
}

TEST_F(CommandLine, OptionsTakeEqualsOrColonForms) {
    for (const char* param : {"/date=2013-06-26", "date:2013-06-26", "date=2013-06-26"}) {
        SetCommandLineArgs({"/some/folder", param});
        EXPECT_EQ(GetOption("date"), "2013-06-26") << param;
        EXPECT_EQ(GetOption("/date"), "2013-06-26") << param;
    }
}

TEST_F(CommandLine, OptionSeparatorIsTheFirstOfColonAndEquals) {
    SetCommandLineArgs({"dateoffset=1", "date=2013-06-26 10:20:30", "fn:/tmp/a=b.txt", "saveas=", "dates=x"});
    EXPECT_EQ(GetOption("date"), "2013-06-26 10:20:30");
    EXPECT_EQ(GetOption("fn"), "/tmp/a=b.txt");
    EXPECT_EQ(GetOption("dateoffset"), "1");
    EXPECT_EQ(GetOption("saveas"), "");
    EXPECT_EQ(GetOption("Date"), "");
    EXPECT_EQ(GetOption("missing"), "");
}

TEST_F(CommandLine, FirstMatchingOptionWins) {
    SetCommandLineArgs({"fn=first", "fn=second"});
    EXPECT_EQ(GetOption("fn"), "first");
}

TEST_F(CommandLine, IsAdminFollowsTheSwitchOrTheUser) {
    SetCommandLineArgs({});
    EXPECT_EQ(IsAdmin(), geteuid() == 0);
    SetCommandLineArgs({"/is_admin"});
    EXPECT_TRUE(IsAdmin());
}

}  // namespace
}  // namespace tandrel
