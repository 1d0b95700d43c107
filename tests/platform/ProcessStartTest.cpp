// Programs started hidden with a bounded wait: for real on Linux, and on the
// simulated PC either simulated or mapped to a real program of the test
// machine. The recorder program writes down the arguments it got.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "TempDir.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxBackend.h"
#include "platform/sim/SimPc.h"

namespace {

class Recorded {
public:
    Recorded() {
        setenv("LUMARI_ARGS_FILE", m_dir.File("args").c_str(), 1);
        unsetenv("LUMARI_ARGS_EXIT");
    }
    ~Recorded() { unsetenv("LUMARI_ARGS_FILE"); }
    // What the recorder wrote, once it wrote `calls` calls (waiting for
    // programs that were not waited for).
    std::string Text(int calls = 1) const {
        std::string text;
        for (int i = 0; i < 500; ++i) {
            std::ifstream in(m_dir.File("args"));
            std::stringstream s;
            s << in.rdbuf();
            text = s.str();
            std::size_t n = 0;
            for (std::size_t at = text.find("\n\n"); at != std::string::npos;
                 at = text.find("\n\n", at + 2))
                ++n;
            if (n >= static_cast<std::size_t>(calls))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return text;
    }

private:
    TempDir m_dir;
};

class LinuxStart : public ::testing::Test {
protected:
    void SetUp() override {
        plat::Platform::Install(std::make_unique<plat::LinuxBackend>(m_dir.File("registry")));
    }
    void TearDown() override { plat::Platform::Uninstall(); }
    plat::ProcessLauncher& Processes() { return plat::Platform::Current().Processes(); }
    TempDir m_dir;
};

}  // namespace

TEST_F(LinuxStart, AProgramBesideThisOneIsFoundByNameAndWaitedFor) {
    Recorded recorded;
    setenv("LUMARI_ARGS_EXIT", "7", 1);
    // The recorder sits beside the test program and on no search path.
    const plat::ProcessResult r = Processes().Start(
        "lumari_arg_recorder --url \"report.example/tevrin.php\" -p a=START&s=5dc", 10000);
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.running);
    EXPECT_EQ(r.exitCode, 7u);
    EXPECT_EQ(recorded.Text(), "--url\nreport.example/tevrin.php\n-p\na=START&s=5dc\n\n");
}

TEST_F(LinuxStart, AProgramThatOutlivesItsWaitGoesOnAndAMissingOneIsReported) {
    const auto before = std::chrono::steady_clock::now();
    plat::ProcessResult r = Processes().Start("sleep 2", 50);
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.running);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    r = Processes().Start("sh -c \"exit 0\"", 0);  // not waited for at all
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.running);
    r = Processes().Start("lumari-no-such-program", 100);
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.error, plat::kErrorFileNotFound);
    // Run by a shell of the test, so the starter runs.
    EXPECT_TRUE(Processes().ParentRuns());
}

TEST(SimStart, ProgramsAreSimulatedOrStartedForRealWhenMappedToOne) {
    TempDir dir;
    plat::SimPc& pc = plat::SimPc::Install();
    int runs = 0;
    pc.processes.Install("snetcfg64.exe", [&](const std::vector<std::string>& args) {
        ++runs;
        plat::ProcessResult r;
        r.exitCode = static_cast<plat::DWORD>(args.size());
        return r;
    });
    plat::ProcessLauncher& processes = plat::Platform::Current().Processes();
    plat::ProcessResult r =
        processes.Start("\"C:\\Program Files\\Zentavo\\snetcfg64.exe\" -m -f solvanewfp", 30000);
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.running);
    EXPECT_EQ(r.exitCode, 4u);
    EXPECT_EQ(runs, 1);

    Recorded recorded;
    pc.processes.MapToHost("rpt_routine.exe", LUMARI_ARG_RECORDER);
    r = processes.Start("rpt_routine.exe --url host/tevrin.php -p a=ONL&c=00-11-22-33-44-55", 0);
    EXPECT_TRUE(r.started);
    EXPECT_EQ(recorded.Text(), "--url\nhost/tevrin.php\n-p\na=ONL&c=00-11-22-33-44-55\n\n");
    EXPECT_EQ(pc.processes.History().size(), 2u);

    pc.faults.FailNext("CreateProcess", 2);
    r = processes.Start("rpt_routine.exe -p x", 0);
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.error, 2u);
    r = processes.Start("unknown.exe", 0);
    EXPECT_EQ(r.error, plat::kErrorFileNotFound);

    // A command line in another encoding than UTF-8 (a folder's GBK bytes)
    // cannot become the wide one the system takes: refused, nothing runs.
    const std::size_t before = pc.processes.History().size();
    r = processes.Start("\"C:\\\xC8\xC8\xB5\xE3\\snetcfg64.exe\" -m -f solvanewfp", 30000);
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.error, plat::kErrorInvalidParameter);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(pc.processes.History().size(), before);
    EXPECT_EQ(pc.processes.Refused().size(), 1u);

    EXPECT_TRUE(processes.ParentRuns());
    pc.processes.SetParentRuns(false);
    EXPECT_FALSE(processes.ParentRuns());
    EXPECT_EQ(pc.os.AppDataFolder(), "C:\\Users\\Lumari\\AppData\\Roaming");
    plat::Platform::Uninstall();
}
