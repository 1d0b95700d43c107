// The same contract, run on the simulated PC and on the Linux backend.
#include <gtest/gtest.h>

#include <memory>

#include "TempDir.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/common/RegistryStore.h"
#include "platform/linux/LinuxBackend.h"
#include "platform/sim/SimPc.h"
#include "platform/winapi/Win32Api.h"

namespace {

int AddOne(int x) {
    return x + 1;
}

struct SimSide {
    static void Install(const TempDir&) {
        plat::SimPc& pc = plat::SimPc::Install();
        pc.modules.Add(L"lumtest.dll", {{"AddOne", plat::ModuleRegistry::Fn(&AddOne)}});
        // The simulated PC's programs answer as the real ones do.
        pc.processes.Install("sh", [](const std::vector<std::string>& args) {
            plat::ProcessResult r;
            r.output = args.size() > 2 ? args[2].substr(5, args[2].find(';') - 5) + "\n" : "";
            r.exitCode = 3;
            return r;
        });
    }
};

struct LinuxSide {
    static void Install(const TempDir& dir) {
        auto backend = std::make_unique<plat::LinuxBackend>(dir.File("registry"));
        backend->Modules().Registered().Add(L"lumtest.dll",
                                            {{"AddOne", plat::ModuleRegistry::Fn(&AddOne)}});
        plat::Platform::Install(std::move(backend));
    }
};

template <class Side>
class PlatformContract : public ::testing::Test {
protected:
    void SetUp() override { Side::Install(m_dir); }
    void TearDown() override { plat::Platform::Uninstall(); }
    TempDir m_dir;
};

using Sides = ::testing::Types<SimSide, LinuxSide>;
TYPED_TEST_SUITE(PlatformContract, Sides);

TYPED_TEST(PlatformContract, ModulesLoadByNameAndFindFunctionsByName) {
    plat::HMODULE h = plat::LoadLibraryW(L"LUMTEST.DLL");
    ASSERT_NE(h, nullptr);
    auto add = plat::GetProcAddressAs<int (*)(int)>(h, "AddOne");
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(41), 42);
    EXPECT_EQ(plat::GetProcAddress(h, "Missing"), nullptr);
    EXPECT_EQ(plat::GetLastError(), plat::kErrorProcNotFound);
    EXPECT_EQ(plat::FreeLibrary(h), plat::TRUE_);
    EXPECT_EQ(plat::LoadLibraryW(L"absent-library.dll"), nullptr);
    EXPECT_EQ(plat::GetLastError(), plat::kErrorModNotFound);
}

TYPED_TEST(PlatformContract, RegistryKeepsTypedValuesUnderCaseInsensitiveKeys) {
    plat::Registry& reg = plat::Platform::Current().Reg();
    const std::string key = "SOFTWARE\\Microsoft\\WZCSVC\\Parameters\\Interfaces\\{X}";
    plat::RegValue v;
    EXPECT_EQ(reg.QueryValue(plat::RegRoot::LocalMachine, key, "ControlFlags", &v), 2);
    EXPECT_EQ(reg.SetValue(plat::RegRoot::LocalMachine, key, "ControlFlags",
                           plat::RegistryStore::Dword(1)),
              2);
    ASSERT_EQ(reg.CreateKey(plat::RegRoot::LocalMachine, key), 0);
    ASSERT_EQ(reg.SetValue(plat::RegRoot::LocalMachine, key, "ControlFlags",
                           plat::RegistryStore::Dword(0x8001)),
              0);
    ASSERT_EQ(reg.QueryValue(plat::RegRoot::LocalMachine,
                             "software\\microsoft\\wzcsvc\\parameters\\interfaces\\{x}",
                             "controlflags", &v),
              0);
    EXPECT_EQ(v.type, plat::kRegDword);
    ASSERT_EQ(v.data.size(), 4u);
    EXPECT_EQ(v.data[1], 0x80);
    EXPECT_EQ(reg.QueryValue(plat::RegRoot::CurrentUser, key, "ControlFlags", &v), 2);
    EXPECT_EQ(reg.DeleteValue(plat::RegRoot::LocalMachine, key, "ControlFlags"), 0);
    EXPECT_EQ(reg.DeleteValue(plat::RegRoot::LocalMachine, key, "ControlFlags"), 2);
}

TYPED_TEST(PlatformContract, ProcessesReportExitCodeAndOutput) {
    plat::ProcessLauncher& p = plat::Platform::Current().Processes();
    const plat::ProcessResult r = p.Run("sh -c \"echo hello; exit 3\"");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 3u);
    EXPECT_EQ(r.output, "hello\n");
    const plat::ProcessResult missing = p.Run("no-such-program-lumari --x");
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.error, plat::kErrorFileNotFound);
}

TYPED_TEST(PlatformContract, SystemNamesItselfAndConvertsText) {
    plat::OsInfo& os = plat::Platform::Current().Os();
    EXPECT_FALSE(os.ComputerName().empty());
    EXPECT_FALSE(os.ModuleFileName().empty());
    EXPECT_FALSE(os.Description().empty());
    std::wstring w;
    ASSERT_TRUE(os.AnsiToWide("abc", &w));
    EXPECT_EQ(w, L"abc");
    std::string s;
    ASSERT_TRUE(os.WideToAnsi(L"abc", &s));
    EXPECT_EQ(s, "abc");
}

}  // namespace

TEST(LinuxBackend, AnswersTheVersionTestAsTheNewestGenerationAndPersistsTheRegistry) {
    TempDir dir;
    {
        plat::LinuxBackend backend(dir.File("registry"));
        const plat::OsVersion v = backend.Os().Version();
        EXPECT_EQ(v.major, 6u);
        EXPECT_EQ(v.minor, 3u);
        EXPECT_EQ(v.productType, 1);
        EXPECT_FALSE(backend.Os().IsWindows());
        EXPECT_NE(backend.Os().Description().find("Linux"), std::string::npos);
        backend.Reg().CreateKey(plat::RegRoot::CurrentUser, "Software\\Lumari");
        backend.Reg().SetValue(plat::RegRoot::CurrentUser, "Software\\Lumari", "Name",
                               plat::RegistryStore::String("hotspot"));
    }
    plat::LinuxBackend again(dir.File("registry"));
    plat::RegValue v;
    ASSERT_EQ(again.Reg().QueryValue(plat::RegRoot::CurrentUser, "Software\\Lumari", "Name", &v),
              0);
    EXPECT_EQ(std::string(v.data.begin(), v.data.end() - 1), "hotspot");
}

TEST(LinuxBackend, DamagedRegistryFileLoadsWhatParsesAndNothingElse) {
    TempDir dir;
    dir.Write("registry", "garbage\nhkcu\\software||name|1|6869\nhkcu\\x||bad|1|zz\n||||\n");
    plat::LinuxBackend backend(dir.File("registry"));
    plat::RegValue v;
    ASSERT_EQ(backend.Reg().QueryValue(plat::RegRoot::CurrentUser, "Software", "Name", &v), 0);
    EXPECT_EQ(v.data, (std::vector<plat::BYTE>{'h', 'i'}));
    EXPECT_FALSE(backend.Reg().KeyExists(plat::RegRoot::CurrentUser, "x"));
}

TEST(LinuxBackend, LoadsSharedObjectsWithDlopen) {
    plat::Platform::Install(std::make_unique<plat::LinuxBackend>(TempDir().File("r")));
    plat::HMODULE h = plat::LoadLibraryW(L"libc.so.6");
    ASSERT_NE(h, nullptr);
    auto len = plat::GetProcAddressAs<std::size_t (*)(const char*)>(h, "strlen");
    ASSERT_NE(len, nullptr);
    EXPECT_EQ(len("hotspot"), 7u);
    EXPECT_EQ(plat::FreeLibrary(h), plat::TRUE_);
    plat::Platform::Uninstall();
}

TEST(LinuxBackend, RegistryNamesWithTheFileFormatsOwnCharactersSurviveASave) {
    TempDir dir;
    const std::string key = "Software\\Odd|Key%\nName";
    {
        plat::LinuxBackend backend(dir.File("registry"));
        backend.Reg().CreateKey(plat::RegRoot::CurrentUser, key);
        backend.Reg().SetValue(plat::RegRoot::CurrentUser, key, "a|b%c",
                               plat::RegistryStore::Dword(7));
    }
    plat::LinuxBackend again(dir.File("registry"));
    plat::RegValue v;
    ASSERT_EQ(again.Reg().QueryValue(plat::RegRoot::CurrentUser, key, "A|B%C", &v), 0);
    EXPECT_EQ(v.data[0], 7);
}
