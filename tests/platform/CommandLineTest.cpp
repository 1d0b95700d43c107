#include <gtest/gtest.h>

#include "platform/text/CommandLine.h"

using plat::CommandLine;

TEST(CommandLine, QuotesGroupBlanksSeparate) {
    const auto args =
        CommandLine::Split("cmd.exe /c netsh interface ip set address \"Wireless  Network\" dhcp");
    ASSERT_EQ(args.size(), 9u);
    EXPECT_EQ(args[7], "Wireless  Network");
    EXPECT_EQ(args[8], "dhcp");
    EXPECT_EQ(CommandLine::Split("a \"\" b").size(), 3u);
    EXPECT_TRUE(CommandLine::Split("   ").empty());
    EXPECT_EQ(CommandLine::ProgramName("C:\\Tools\\SNetCfg64.EXE"), "snetcfg64.exe");
    EXPECT_EQ(CommandLine::ProgramName("/usr/bin/ip"), "ip");
}
