#include "Win32ProcessLauncher.h"

#include <windows.h>
// windows.h first
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "Win32CodePage.h"
#include "Win32SystemFolder.h"
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

// A program the system has ("cmd.exe", "netsh.exe") runs from the system
// folder, with that folder as its current one, so that the programs it
// starts in turn ("netsh" inside "cmd /c") are found there first too, not in
// this program's folder. Other command lines stay as they are.
struct Resolved {
    std::wstring line;
    std::wstring folder;  // empty: this program's current folder
};

Resolved ResolveSystemProgram(const std::wstring& line) {
    Resolved r{line, std::wstring()};
    std::size_t start = 0;
    while (start < line.size() && (line[start] == L' ' || line[start] == L'\t'))
        ++start;
    if (start >= line.size() || line[start] == L'"')
        return r;
    std::size_t end = line.find_first_of(L" \t", start);
    if (end == std::wstring::npos)
        end = line.size();
    std::wstring program = line.substr(start, end - start);
    std::wstring path = Win32SystemFolder::File(program);
    if (path.empty() && program.find(L'.') == std::wstring::npos)
        path = Win32SystemFolder::File(program + L".exe");
    if (path.empty())
        return r;
    r.line = L"\"" + path + L"\"" + line.substr(end);
    r.folder = Win32SystemFolder::Path();
    return r;
}

// The attribute list that hands a child exactly the given handles: a pipe
// of one tool is not inherited by another tool started meanwhile, whose
// life would keep the first tool's output open. Bound at run time: Windows
// Vista brought these functions; without them every inheritable handle goes.
class HandleList {
public:
    explicit HandleList(::HANDLE handle) : m_handle(handle) {
        ::HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        if (kernel == nullptr)
            return;
        auto init = reinterpret_cast<InitFn>(
            reinterpret_cast<void*>(::GetProcAddress(kernel, "InitializeProcThreadAttributeList")));
        auto update = reinterpret_cast<UpdateFn>(
            reinterpret_cast<void*>(::GetProcAddress(kernel, "UpdateProcThreadAttribute")));
        m_delete = reinterpret_cast<DeleteFn>(
            reinterpret_cast<void*>(::GetProcAddress(kernel, "DeleteProcThreadAttributeList")));
        if (init == nullptr || update == nullptr || m_delete == nullptr)
            return;
        SIZE_T size = 0;
        init(nullptr, 1, 0, &size);
        m_storage.resize(size / sizeof(void*) + 1);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_storage.data());
        if (init(list, 1, 0, &size) == 0)
            return;
        m_list = list;
        if (update(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &m_handle, sizeof m_handle, nullptr,
                   nullptr) == 0) {
            m_delete(list);
            m_list = nullptr;
        }
    }
    ~HandleList() {
        if (m_list != nullptr)
            m_delete(m_list);
    }
    HandleList(const HandleList&) = delete;
    HandleList& operator=(const HandleList&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return m_list; }

private:
    using InitFn = ::BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, ::DWORD, ::DWORD, PSIZE_T);
    using UpdateFn = ::BOOL(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST, ::DWORD, DWORD_PTR, PVOID,
                                     SIZE_T, PVOID, PSIZE_T);
    using DeleteFn = void(WINAPI*)(LPPROC_THREAD_ATTRIBUTE_LIST);
    ::HANDLE m_handle;
    std::vector<void*> m_storage;
    LPPROC_THREAD_ATTRIBUTE_LIST m_list = nullptr;
    DeleteFn m_delete = nullptr;
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
    // The command line is in the system's code page, as the tools read it.
    std::wstring wide;
    if (!Win32CodePage::ToWide(CP_ACP, commandLine, &wide)) {
        r.error = ERROR_NO_UNICODE_TRANSLATION;
        return r;
    }
    const Resolved resolved = ResolveSystemProgram(wide);
    const HandleList handles(writeEnd.Get());
    STARTUPINFOEXW si{};
    si.StartupInfo.cb = handles.Get() != nullptr ? sizeof si : sizeof si.StartupInfo;
    si.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.StartupInfo.wShowWindow = SW_HIDE;
    si.StartupInfo.hStdOutput = writeEnd.Get();
    si.StartupInfo.hStdError = writeEnd.Get();
    si.StartupInfo.hStdInput = nullptr;
    si.lpAttributeList = handles.Get();
    PROCESS_INFORMATION pi{};
    std::vector<wchar_t> line(resolved.line.begin(), resolved.line.end());
    line.push_back(L'\0');
    const ::DWORD flags =
        CREATE_NO_WINDOW | (handles.Get() != nullptr ? EXTENDED_STARTUPINFO_PRESENT : 0);
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr,
                         resolved.folder.empty() ? nullptr : resolved.folder.c_str(),
                         &si.StartupInfo, &pi) == 0) {
        r.error = ::GetLastError();
        return r;
    }
    Handle process, thread;
    *process.Out() = pi.hProcess;
    *thread.Out() = pi.hThread;
    writeEnd.Reset();
    r.started = true;
    // The output is read while the program runs and what is left once it has
    // ended; the end of the pipe is not waited for, since a program it started
    // may hold the pipe long after. A program that does not end within the
    // limit is ended; what it prints beyond the size limit is dropped.
    const ::ULONGLONG deadline = ::GetTickCount64() + kRunLimitMs;
    bool ended = false;
    for (;;) {
        ::DWORD available = 0;
        if (::PeekNamedPipe(readEnd.Get(), nullptr, 0, nullptr, &available, nullptr) == 0)
            break;  // every writer has closed it
        if (available > 0) {
            char buf[4096];
            ::DWORD n = 0;
            if (::ReadFile(readEnd.Get(), buf, available < sizeof buf ? available : sizeof buf, &n,
                           nullptr) == 0)
                break;
            const std::size_t room =
                r.output.size() < kOutputLimit ? kOutputLimit - r.output.size() : 0;
            r.output.append(buf, n < room ? n : room);
            continue;
        }
        if (ended)
            break;  // the program's own output is all read
        if (::WaitForSingleObject(process.Get(), 10) == WAIT_OBJECT_0) {
            ended = true;  // one more look for what it wrote just before its end
            continue;
        }
        if (::GetTickCount64() >= deadline)
            break;  // ended below
    }
    const ::ULONGLONG now = ::GetTickCount64();
    const ::DWORD left = now < deadline ? static_cast<::DWORD>(deadline - now) : 0;
    if (::WaitForSingleObject(process.Get(), left) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.Get(), WAIT_TIMEOUT);
        ::WaitForSingleObject(process.Get(), INFINITE);
    }
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
