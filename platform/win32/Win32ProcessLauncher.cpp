#include "Win32ProcessLauncher.h"

#include <windows.h>

#include <vector>

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

}  // namespace plat
