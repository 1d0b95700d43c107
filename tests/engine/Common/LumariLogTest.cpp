#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>
#include <string>

#include "Common/LogFileSink.h"
#include "Common/LumariLog.h"
#include "SimTest.h"
#include "TempDir.h"

namespace {

// Runs the log probe with the given program directory; returns what it printed.
std::string RunProbe(const std::string& dir, const std::string& tag,
                     const std::string& windows = "7") {
    const std::string cmd = std::string(LUMARI_LOG_PROBE) + " " + dir + " " + tag + " " + windows;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
    std::string out;
    char buf[512];
    while (pipe && fgets(buf, sizeof buf, pipe.get()) != nullptr)
        out += buf;
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream is(text);
    for (std::string l; std::getline(is, l);)
        lines.push_back(l);
    return lines;
}

std::string Message(const std::string& line) {
    const auto pos = line.find("] ");
    return pos == std::string::npos ? line : line.substr(pos + 2);
}

}  // namespace

TEST(InitLog, TwoRunsAppendToTheOneFileWithEverySeverityAndTheGlogPrefix) {
    TempDir dir;
    const std::string first = RunProbe(dir.Path(), "one");
    const std::string second = RunProbe(dir.Path(), "two");
    // A second InitLog in the same process only says so on the debugger output.
    EXPECT_EQ(first, "[Lumari] Already init log.\n");
    EXPECT_EQ(second, "[Lumari] Already init log.\n");

    const std::string logDir = dir.File("Log");
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(logDir)) {
        ++files;
        EXPECT_EQ(e.path().filename(), "lumari.log");
    }
    EXPECT_EQ(files, 1);

    const auto lines = Lines(dir.Read("Log/lumari.log"));
    std::vector<std::string> messages;
    for (const auto& l : lines)
        messages.push_back(Message(l));
    const std::vector<std::string> expected = {
        "Windows 7", "probe one", "probe warning one", "probe error one",
        "Windows 7", "probe two", "probe warning two", "probe error two"};
    EXPECT_EQ(messages, expected);
    // Severity letter, date, time, thread, source file and line.
    const std::regex prefix(R"(^[IWE]\d{8} \d{2}:\d{2}:\d{2}\.\d{6} +\d+ [A-Za-z]+\.cpp:\d+\] .*)");
    for (const auto& l : lines)
        EXPECT_TRUE(std::regex_match(l, prefix)) << l;
    EXPECT_EQ(lines[2][0], 'W');
    EXPECT_EQ(lines[3][0], 'E');
}

TEST(InitLog, WindowsSevenStarterNamesTheEditionAfterTheVersion) {
    TempDir dir;
    RunProbe(dir.Path(), "x", "7starter");
    const auto lines = Lines(dir.Read("Log/lumari.log"));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(Message(lines[0]), "Windows 7");
    EXPECT_EQ(Message(lines[1]), "Start Edition");
}

TEST(InitLog, AnUncreatableLogDirectoryIsReportedAndTheProgramGoesOn) {
    TempDir dir;
    dir.Write("Log", "a file where the directory should be");
    const std::string out = RunProbe(dir.Path(), "x");
    EXPECT_NE(out.find("[Lumari] Create log dir return 0, error "), std::string::npos) << out;
    EXPECT_NE(out.find("[Lumari] Already init log."), std::string::npos);
}

TEST(LogFileSink, StaysBelowItsLimitKeepingTheNewestLines) {
    TempDir dir;
    const std::string path = dir.File("lumari.log");
    {
        CLogFileSink sink(path, 4096);
        for (int i = 0; i < 1000; ++i)
            sink.WriteLine("line " + std::to_string(i));
    }
    const std::string text = dir.Read("lumari.log");
    EXPECT_LE(text.size(), 4096u);
    EXPECT_NE(text.find("line 999\n"), std::string::npos);
    EXPECT_EQ(text.find("line 1\n"), std::string::npos);
    // The file starts at a line boundary after shrinking.
    EXPECT_EQ(text.rfind("line ", 0), 0u);
}

class LogOsVersionTest : public SimTest {};

TEST_F(LogOsVersionTest, NamesEachSupportedWindows) {
    const struct {
        plat::SimWindows version;
        std::vector<std::string> lines;
    } cases[] = {
        {plat::SimWindows::XpSp1, {"E Windows XP sp1 or lower"}},
        {plat::SimWindows::XpSp2, {"I Windows XP sp2"}},
        {plat::SimWindows::XpSp3, {"I Windows XP sp3"}},
        {plat::SimWindows::Vista, {"I Windows vista"}},
        {plat::SimWindows::Seven, {"I Windows 7"}},
        {plat::SimWindows::SevenStarter, {"I Windows 7", "I Start Edition"}},
        {plat::SimWindows::Eight, {"I Windows 8"}},
        {plat::SimWindows::EightOne, {"I Windows 8.1"}},
        {plat::SimWindows::Server2008R2, {"I Windows Server"}},
    };
    for (const auto& c : cases) {
        Pc().os.SetWindows(c.version);
        Log().Clear();
        LogOsVersion();
        EXPECT_EQ(Log().Lines(), c.lines);
    }
    // Starter N counts as a Starter edition too.
    Pc().os.SetVersion({6, 1, 1, 7601, 1}, true, 0x2F);
    Log().Clear();
    LogOsVersion();
    EXPECT_EQ(Log().Lines(), (std::vector<std::string>{"I Windows 7", "I Start Edition"}));
}
