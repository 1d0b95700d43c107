// The Windows backend's calls as the system (here Wine) answers them: the
// IP Helper tables read whole, ICMP replies by status, name lookups that hold
// Winsock themselves, the hand-over that no hung window holds up, COM left
// as it was found, system programs and libraries from the system folder, and
// a Run entry that Windows reads as one program path.
#include <gtest/gtest.h>

// Winsock before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <atomic>
#include <cwctype>
#include <string>
#include <thread>
#include <vector>

#include "platform/text/CommandLine.h"
#include "platform/text/Ipv4Text.h"
#include "platform/text/TextCodec.h"
#include "platform/win32/Win32AdapterConfig.h"
#include "platform/win32/Win32ModuleLoader.h"
#include "platform/win32/Win32Network.h"
#include "platform/win32/Win32ProcessLauncher.h"
#include "platform/win32/Win32Session.h"
#include "platform/win32/Win32SystemFolder.h"

namespace {

std::wstring Lower(std::wstring s) {
    for (auto& c : s)
        c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

std::uint32_t Loopback() {
    std::uint32_t ip = 0;
    plat::Ipv4Text::Parse("127.0.0.1", &ip);
    return ip;
}

TEST(Win32Backend, TablesAreReadWholeAndAnEmptyOneIsAnEmptyList) {
    plat::Win32Network net;
    std::vector<plat::AdapterInfo> adapters;
    ASSERT_EQ(net.Adapters(&adapters), 0u);
    for (const auto& a : adapters) {
        std::uint64_t in = 0, out = 0;
        EXPECT_EQ(net.InterfaceCounters(a.ifIndex, &in, &out), 0u) << a.name;
    }
    // The ARP table of this machine may well be empty: that is no failure.
    std::vector<plat::NeighbourRow> rows;
    EXPECT_EQ(net.Neighbours(&rows), 0u);
    for (const auto& r : rows)
        EXPECT_GE(r.type, plat::kNeighbourOther);
}

TEST(Win32Backend, AnEchoCountsOnlyWithTheHostsOwnReply) {
    plat::Win32Network net;
    plat::DWORD status = 12345;
    const plat::DWORD replies = net.Echo(Loopback(), 2000, &status);
    if (replies == 0)
        GTEST_SKIP() << "no ICMP on this system";
    EXPECT_EQ(status, plat::kIpSuccess);
}

TEST(Win32Backend, ANameLookupHoldsWinsockItself) {
    // Nothing in this process holds Winsock now.
    while (::WSACleanup() == 0) {
    }
    plat::Win32Network net;
    std::string name;
    EXPECT_TRUE(net.ReverseLookup(Loopback(), &name));
    EXPECT_FALSE(name.empty());
    // And it let go of it again.
    EXPECT_NE(::WSACleanup(), 0);
    EXPECT_EQ(::WSAGetLastError(), WSANOTINITIALISED);
}

LRESULT CALLBACK Stuck(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    return ::DefWindowProcW(hwnd, message, w, l);
}

TEST(Win32Backend, TheHandOverIsNotHeldUpByAHungWindow) {
    // A top-level window whose thread stops taking messages.
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> made{0};
    std::thread hung([&] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Stuck;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"LumariHungWindow";
        ::RegisterClassW(&wc);
        HWND w = ::CreateWindowExW(0, wc.lpszClassName, L"hung", WS_OVERLAPPED, 0, 0, 10, 10,
                                   nullptr, nullptr, wc.hInstance, nullptr);
        made = w != nullptr ? 1 : -1;
        ::WaitForSingleObject(release, INFINITE);  // takes no message meanwhile
        if (w != nullptr)
            ::DestroyWindow(w);
    });
    while (made == 0)
        std::this_thread::yield();
    if (made < 0) {
        ::SetEvent(release);
        hung.join();
        ::CloseHandle(release);
        GTEST_SKIP() << "no windows on this system";
    }
    plat::Win32Session session;
    EXPECT_TRUE(session.SignalInstance("lumari-handover-test"));
    ::SetEvent(release);
    hung.join();
    ::CloseHandle(release);
}

TEST(Win32Backend, AdapterConfigurationLeavesTheThreadsApartmentAsItFoundIt) {
    HRESULT after = E_FAIL;
    std::thread t([&] {
        plat::Win32AdapterConfig config;
        config.EnableDhcp("{00000000-0000-0000-0000-000000000000}");
        // A thread that left the multithreaded apartment may enter another.
        after = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(after))
            ::CoUninitialize();
    });
    t.join();
    EXPECT_EQ(after, S_OK);
}

TEST(Win32Backend, SystemProgramsAndLibrariesComeFromTheSystemFolder) {
    const std::wstring system = Lower(plat::Win32SystemFolder::Path());
    ASSERT_FALSE(system.empty());
    EXPECT_EQ(Lower(plat::Win32SystemFolder::File(L"cmd.exe")), system + L"\\cmd.exe");
    EXPECT_TRUE(plat::Win32SystemFolder::File(L"Tallis.dll").empty());
    EXPECT_TRUE(plat::Win32SystemFolder::File(L"..\\cmd.exe").empty());

    plat::Win32ModuleLoader loader;
    plat::HMODULE wlan = loader.Load(L"wlanapi.dll");
    if (wlan != nullptr) {
        wchar_t path[MAX_PATH] = {};
        ::GetModuleFileNameW(static_cast<HMODULE>(wlan), path, MAX_PATH);
        EXPECT_EQ(Lower(path), system + L"\\wlanapi.dll");
        loader.Free(wlan);
    }

    // cmd runs from the system folder and in it, so "netsh" inside it is the
    // system's too.
    plat::Win32ProcessLauncher launcher;
    const plat::ProcessResult r = launcher.Run("cmd.exe /c cd");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 0u);
    std::wstring shown;
    plat::TextCodec::Utf8ToWide(r.output, &shown);
    while (!shown.empty() && (shown.back() == L'\n' || shown.back() == L'\r'))
        shown.pop_back();
    EXPECT_EQ(Lower(shown), system);
}

TEST(Win32Backend, TheRunEntryIsReadAsOneProgramPath) {
    const std::string program = "C:\\Program Files\\Orvanta\\Zentavo.exe";
    plat::Win32Session session;
    ASSERT_EQ(
        session.SetRunAtLogon("LumariQuoteTest", plat::CommandLine::QuoteProgram(program), true),
        0u);
    char data[512] = {};
    DWORD size = sizeof data;
    ASSERT_EQ(
        ::RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                       "LumariQuoteTest", RRF_RT_REG_SZ, nullptr, data, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(session.SetRunAtLogon("LumariQuoteTest", "", false), 0u);
    std::wstring line;
    ASSERT_TRUE(plat::TextCodec::Utf8ToWide(data, &line));
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(words, nullptr);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(std::wstring(words[0]), L"C:\\Program Files\\Orvanta\\Zentavo.exe");
    ::LocalFree(words);
}

}  // namespace
