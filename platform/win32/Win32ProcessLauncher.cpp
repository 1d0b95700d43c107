#include "Win32ProcessLauncher.h"

#include <windows.h>
// windows.h first
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "platform/text/TextCodec.h"

namespace plat {

namespace {
// Owns a kernel handle.
class Handle {
public:
    Handle() = default;
    ~Handle() { Reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ::HANDLE* Out() { return &m_h; }
    ::HANDLE Get() const { return m_h; }
    void Reset() {
        if (m_h != nullptr && m_h != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_h);
        m_h = nullptr;
    }

private:
    ::HANDLE m_h = nullptr;
};
}  // namespace

ProcessResult Win32ProcessLauncher::Run(const std::string& commandLine) {
    ProcessResult r;
    SECURITY_ATTRIBUTES sa{};
    sa.nLength = sizeof sa;
    sa.bInheritHandle = TRUE;
    Handle readEnd, writeEnd;
    if (::CreatePipe(readEnd.Out(), writeEnd.Out(), &sa, 0) == 0) {
        r.error = ::GetLastError();
        return r;
    }
    ::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    si.hStdOutput = writeEnd.Get();
    si.hStdError = writeEnd.Get();
    si.hStdInput = nullptr;
    PROCESS_INFORMATION pi{};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                         nullptr, &si, &pi) == 0) {
        r.error = ::GetLastError();
        return r;
    }
    Handle process, thread;
    *process.Out() = pi.hProcess;
    *thread.Out() = pi.hThread;
    writeEnd.Reset();
    r.started = true;
    char buf[4096];
    ::DWORD n = 0;
    while (::ReadFile(readEnd.Get(), buf, sizeof buf, &n, nullptr) != 0 && n > 0)
        r.output.append(buf, n);
    ::WaitForSingleObject(process.Get(), INFINITE);
    ::DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    r.exitCode = code;
    return r;
}

ProcessResult Win32ProcessLauncher::Start(const std::string& commandLine, int waitMs) {
    ProcessResult r;
    std::wstring wide;
    if (!TextCodec::Utf8ToWide(commandLine, &wide)) {
        r.error = ERROR_INVALID_PARAMETER;
        return r;
    }
    std::vector<wchar_t> line(wide.begin(), wide.end());
    line.push_back(L'\0');
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    // No application name: CreateProcessW looks for the program beside this
    // one first.
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                         nullptr, &si, &pi) == 0) {
        r.error = ::GetLastError();
        return r;
    }
    Handle process, thread;
    *process.Out() = pi.hProcess;
    *thread.Out() = pi.hThread;
    r.started = true;
    if (waitMs > 0 &&
        ::WaitForSingleObject(process.Get(), static_cast<::DWORD>(waitMs)) == WAIT_OBJECT_0) {
        ::DWORD code = 0;
        ::GetExitCodeProcess(process.Get(), &code);
        r.exitCode = code;
        return r;
    }
    r.running = true;
    return r;
}

bool Win32ProcessLauncher::ParentRuns() {
    // From a snapshot of processes and threads: this process's parent, and
    // that parent still listed with a thread of its own.
    Handle snapshot;
    *snapshot.Out() = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, 0);
    if (snapshot.Get() == INVALID_HANDLE_VALUE)
        return false;
    const ::DWORD self = ::GetCurrentProcessId();
    ::DWORD parent = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more != 0;
         more = ::Process32NextW(snapshot.Get(), &entry))
        if (entry.th32ProcessID == self)
            parent = entry.th32ParentProcessID;
    if (parent == 0)
        return false;
    bool listed = false;
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more != 0 && !listed;
         more = ::Process32NextW(snapshot.Get(), &entry))
        listed = entry.th32ProcessID == parent;
    if (!listed)
        return false;
    THREADENTRY32 thread{};
    thread.dwSize = sizeof thread;
    for (BOOL more = ::Thread32First(snapshot.Get(), &thread); more != 0;
         more = ::Thread32Next(snapshot.Get(), &thread))
        if (thread.th32OwnerProcessID == parent)
            return true;
    return false;
}

}  // namespace plat
