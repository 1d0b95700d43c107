// The Windows backend's facilities against the system's own implementations
// (here Wine's): the registry, files with names in the system code page,
// hidden processes with their output and a bounded wait, TCP on loopback, COM
// apartments and security, and WMI. Each case pins what Windows does.
#include <gtest/gtest.h>

// Winsock before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

#include "platform/common/DiskFileStore.h"
#include "platform/socket/TcpSocket.h"
#include "platform/text/Ipv4Text.h"
#include "platform/win32/Win32CodePage.h"
#include "platform/win32/Win32Com.h"
#include "platform/win32/Win32ProcessLauncher.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Sharing.h"

namespace {

constexpr char kKey[] = "Software\\LumariFacilitiesTest";

TEST(Win32Facilities, RegistryValuesReadBackAsWrittenAndKeyNamesIgnoreCase) {
    plat::Win32Registry reg;
    ASSERT_EQ(reg.CreateKey(plat::RegRoot::CurrentUser, kKey), ERROR_SUCCESS);
    EXPECT_TRUE(reg.KeyExists(plat::RegRoot::CurrentUser, "SOFTWARE\\lumarifacilitiestest"));
    EXPECT_FALSE(reg.KeyExists(plat::RegRoot::CurrentUser, "Software\\LumariNoSuchKey"));

    plat::RegValue text{plat::kRegSz, {'o', 'n', 0}};
    plat::RegValue number{plat::kRegDword, {0x2A, 0, 0, 0}};
    plat::RegValue bytes{plat::kRegBinary, {0, 0xFF, 0x10}};
    ASSERT_EQ(reg.SetValue(plat::RegRoot::CurrentUser, kKey, "text", text), ERROR_SUCCESS);
    ASSERT_EQ(reg.SetValue(plat::RegRoot::CurrentUser, kKey, "number", number), ERROR_SUCCESS);
    ASSERT_EQ(reg.SetValue(plat::RegRoot::CurrentUser, kKey, "bytes", bytes), ERROR_SUCCESS);
    for (const auto& [name, wanted] :
         {std::pair{"text", text}, {"NUMBER", number}, {"bytes", bytes}}) {
        plat::RegValue got;
        ASSERT_EQ(reg.QueryValue(plat::RegRoot::CurrentUser, kKey, name, &got), ERROR_SUCCESS)
            << name;
        EXPECT_EQ(got.type, wanted.type) << name;
        EXPECT_EQ(got.data, wanted.data) << name;
    }

    // A value that is not there, and one deleted: ERROR_FILE_NOT_FOUND.
    plat::RegValue got;
    EXPECT_EQ(reg.QueryValue(plat::RegRoot::CurrentUser, kKey, "absent", &got),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.DeleteValue(plat::RegRoot::CurrentUser, kKey, "text"), ERROR_SUCCESS);
    EXPECT_EQ(reg.QueryValue(plat::RegRoot::CurrentUser, kKey, "text", &got), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.DeleteValue(plat::RegRoot::CurrentUser, kKey, "text"), ERROR_FILE_NOT_FOUND);
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
}

TEST(Win32Facilities, AFileNamedInTheSystemCodePageIsReplacedWhole) {
    // "热点" in the system's code page; Western code pages cannot name it.
    std::string name;
    if (!plat::Win32CodePage::FromWide(::GetACP(), L"\x70ED\x70B9", &name))
        GTEST_SKIP() << "code page " << ::GetACP()
                     << " has no Chinese (the test command runs "
                        "this program in code page 936)";
    // Beside this program: the system's temporary folder may not exist yet.
    char self[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
    std::string here(self);
    here.erase(here.find_last_of('\\') + 1);
    const std::string folder = here + "lumari-" + name;
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr) ||
                ::GetLastError() == ERROR_ALREADY_EXISTS);
    const std::string path = folder + "\\" + name + ".ini";

    auto& store = plat::DiskFileStore::Instance();
    ASSERT_EQ(store.Replace(path, "first", 5), 0u);
    ASSERT_EQ(store.Replace(path, "second", 6), 0u);
    // Read back through the wide name: the narrow one named that very file.
    std::wstring wide;
    ASSERT_TRUE(plat::Win32CodePage::ToWide(::GetACP(), path, &wide));
    HANDLE h = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char data[16] = {};
    DWORD read = 0;
    EXPECT_TRUE(::ReadFile(h, data, sizeof data, &read, nullptr));
    ::CloseHandle(h);
    EXPECT_EQ(std::string(data, read), "second");
    EXPECT_EQ(::GetFileAttributesA(plat::FileStore::TemporaryOf(path).c_str()),
              INVALID_FILE_ATTRIBUTES)
        << "no temporary file is left";
    ::DeleteFileA(path.c_str());
    ::RemoveDirectoryA(folder.c_str());
}

TEST(Win32Facilities, HiddenProcessesReportTheirOutputExitCodeAndABoundedWait) {
    plat::Win32ProcessLauncher launcher;
    plat::ProcessResult r = launcher.Run("cmd.exe /c echo lumari& exit 3");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 3u);
    EXPECT_EQ(r.output.substr(0, 6), "lumari");

    r = launcher.Start("cmd.exe /c exit 7", 20000);
    ASSERT_TRUE(r.started);
    EXPECT_FALSE(r.running);
    EXPECT_EQ(r.exitCode, 7u);

    // A program that outlives the wait goes on by itself.
    r = launcher.Start("cmd.exe /c ping -n 3 127.0.0.1", 1);
    ASSERT_TRUE(r.started);
    EXPECT_TRUE(r.running);

    r = launcher.Start("lumari-no-such-program.exe", 1000);
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.error, static_cast<plat::DWORD>(ERROR_FILE_NOT_FOUND));
    // Text that is not UTF-8 never reaches the system.
    r = launcher.Start("cmd.exe /c echo \xFF", 1000);
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.error, static_cast<plat::DWORD>(ERROR_INVALID_PARAMETER));
}

// A tool that starts a program of its own and ends: the program it started
// keeps the tool's output pipe, and would keep any handle the tool inherited.
TEST(Win32Facilities, ARunEndsWithItsToolAndPassesOnlyItsOwnPipe) {
    // An inheritable pipe of this process that no child is meant to get.
    SECURITY_ATTRIBUTES sa{};
    sa.nLength = sizeof sa;
    sa.bInheritHandle = TRUE;
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, &sa, 0));

    plat::Win32ProcessLauncher launcher;
    const plat::ProcessResult r =
        launcher.Run("cmd.exe /c start /b ping -n 30 127.0.0.1 & echo lumari-done");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_NE(r.output.find("lumari-done"), std::string::npos);
    // The run did not wait for the program the tool started (ping prints its
    // statistics only at its end, 29 seconds on).
    EXPECT_EQ(r.output.find("statistics"), std::string::npos) << r.output;

    // That program still runs, and holds no end of this process's pipe: once
    // this process closes its own write end, the pipe has no writer.
    ::CloseHandle(writeEnd);
    DWORD available = 0;
    EXPECT_FALSE(::PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    ::CloseHandle(readEnd);
}

TEST(Win32Facilities, TcpOnLoopbackAcceptsAConnectionAndCarriesBytesBothWays) {
    plat::TcpSocket listener;
    ASSERT_EQ(listener.Startup(), 0);
    ASSERT_EQ(listener.Open(), 0);
    std::uint32_t loopback = 0;
    plat::Ipv4Text::Parse("127.0.0.1", &loopback);
    ASSERT_EQ(listener.Bind(loopback, 0), 0);
    ASSERT_EQ(listener.Listen(4), 0);
    plat::TcpSocket peer;
    std::uint32_t peerIp = 0;
    EXPECT_EQ(listener.Accept(&peer, &peerIp), plat::kWsaEWouldBlock) << "nobody connected yet";

    // A second socket on the same port while it listens is refused.
    plat::TcpSocket twin;
    twin.Startup();
    ASSERT_EQ(twin.Open(), 0);
    EXPECT_EQ(twin.Bind(loopback, listener.LocalPort()), plat::kWsaEAddrInUse);

    SOCKET client = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(client, INVALID_SOCKET);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = loopback;
    to.sin_port = htons(listener.LocalPort());
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    int accepted = plat::kWsaEWouldBlock;
    for (int i = 0; i < 5000 && accepted == plat::kWsaEWouldBlock; ++i) {
        accepted = listener.Accept(&peer, &peerIp);
        if (accepted == plat::kWsaEWouldBlock)
            ::Sleep(1);
    }
    ASSERT_EQ(accepted, 0);
    EXPECT_EQ(peerIp, loopback);

    ASSERT_EQ(::send(client, "ping", 4, 0), 4);
    char buffer[8] = {};
    std::size_t got = 0;
    int e = plat::kWsaEWouldBlock;
    for (int i = 0; i < 5000 && e == plat::kWsaEWouldBlock; ++i) {
        e = peer.Receive(buffer, sizeof buffer, &got);
        if (e == plat::kWsaEWouldBlock)
            ::Sleep(1);
    }
    ASSERT_EQ(e, 0);
    EXPECT_EQ(std::string(buffer, got), "ping");
    std::size_t sent = 0;
    ASSERT_EQ(peer.Send("pong", 4, &sent), 0);
    EXPECT_EQ(sent, 4u);
    EXPECT_EQ(::recv(client, buffer, sizeof buffer, 0), 4);
    EXPECT_EQ(std::string(buffer, 4), "pong");

    // The client's close reads as 0 bytes.
    ::closesocket(client);
    e = plat::kWsaEWouldBlock;
    for (int i = 0; i < 5000 && e == plat::kWsaEWouldBlock; ++i) {
        e = peer.Receive(buffer, sizeof buffer, &got);
        if (e == plat::kWsaEWouldBlock)
            ::Sleep(1);
    }
    EXPECT_EQ(e, 0);
    EXPECT_EQ(got, 0u);
}

TEST(Win32Facilities, ComApartmentsSecurityAndWmiAnswerAsWindowsDoes) {
    HRESULT first = E_FAIL, again = E_FAIL, other = E_FAIL, security = E_FAIL;
    HRESULT share = E_FAIL, locator = E_FAIL, badNamespace = S_OK, query = E_FAIL;
    int adapters = 0;
    // A thread of its own: the test runner's thread stays outside COM.
    std::thread t([&] {
        plat::Win32Com com;
        first = com.CoInitializeEx(COINIT_MULTITHREADED);
        again = com.CoInitializeEx(COINIT_MULTITHREADED);
        other = com.CoInitializeEx(COINIT_APARTMENTTHREADED);
        security = com.CoInitializeSecurity(RPC_C_AUTHN_LEVEL_PKT, RPC_C_IMP_LEVEL_IMPERSONATE, 0);
        plat::GUID clsid{};
        share = com.CLSIDFromProgID(L"HNetCfg.HNetShare", &clsid);

        plat::Win32Wmi wmi;
        std::unique_ptr<plat::WbemLocator> loc;
        locator = wmi.CreateLocator(CLSCTX_INPROC_SERVER, &loc);
        if (SUCCEEDED(locator) && loc) {
            std::unique_ptr<plat::WbemServices> services;
            badNamespace = loc->ConnectServer(L"ROOT\\LumariNoSuchNamespace", &services);
            if (SUCCEEDED(loc->ConnectServer(L"ROOT\\CIMV2", &services)) && services) {
                std::unique_ptr<plat::EnumWbemClassObject> rows;
                query = services->ExecQuery(
                    L"WQL", L"SELECT * FROM Win32_NetworkAdapterConfiguration",
                    plat::kWbemFlagForwardOnly | plat::kWbemFlagReturnImmediately, &rows);
                std::unique_ptr<plat::WbemClassObject> row;
                plat::ULONG returned = 0;
                while (SUCCEEDED(query) && rows &&
                       rows->Next(plat::kWbemInfinite, &row, &returned) == S_OK && returned == 1) {
                    plat::Variant description;
                    if (SUCCEEDED(row->Get(L"Description", &description)) &&
                        description.vt == plat::kVtBstr)
                        ++adapters;
                }
            }
        }
        com.CoUninitialize();
        com.CoUninitialize();
    });
    t.join();
    EXPECT_EQ(first, S_OK);
    EXPECT_EQ(again, S_FALSE) << "a thread already in the apartment";
    EXPECT_EQ(other, RPC_E_CHANGED_MODE);
    EXPECT_EQ(security, S_OK);
    if (FAILED(share))
        std::printf("Internet Connection Sharing is not registered here: 0x%08lx\n",
                    static_cast<unsigned long>(share));
    ASSERT_EQ(locator, S_OK);
    EXPECT_TRUE(FAILED(badNamespace));
    EXPECT_EQ(query, S_OK);
    EXPECT_GE(adapters, 1) << "every adapter configuration has its description";
}

}  // namespace
