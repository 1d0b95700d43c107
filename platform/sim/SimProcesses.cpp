#include "SimProcesses.h"

#include "SimFaults.h"
#if defined(_WIN32)
#include "platform/win32/Win32ProcessLauncher.h"
#else
#include "platform/linux/LinuxProcessLauncher.h"
#endif
#include "platform/text/CommandLine.h"
#include "platform/text/TextCodec.h"

namespace plat {

void SimProcesses::Install(const std::string& name, Program program) {
    std::lock_guard<std::mutex> g(m_lock);
    m_programs[CommandLine::ProgramName(name)] = std::move(program);
}

void SimProcesses::Remove(const std::string& name) {
    std::lock_guard<std::mutex> g(m_lock);
    m_programs.erase(CommandLine::ProgramName(name));
}

std::vector<std::string> SimProcesses::History() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_history;
}

std::vector<std::string> SimProcesses::Refused() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_refused;
}

ProcessResult SimProcesses::Run(const std::string& commandLine) {
    ProcessResult r;
    const auto args = CommandLine::Split(commandLine);
    Program program;
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_history.push_back(commandLine);
        if (!args.empty()) {
            auto it = m_programs.find(CommandLine::ProgramName(args[0]));
            if (it != m_programs.end())
                program = it->second;
        }
    }
    if (auto fault = m_faults.Take("CreateProcess")) {
        r.error = static_cast<DWORD>(*fault);
        return r;
    }
    if (!program) {
        r.error = kErrorFileNotFound;
        return r;
    }
    r = program(args);
    r.started = true;
    return r;
}

void SimProcesses::MapToHost(const std::string& name, const std::string& hostPath) {
    std::lock_guard<std::mutex> g(m_lock);
    m_hostPrograms[CommandLine::ProgramName(name)] = hostPath;
}

void SimProcesses::SetParentRuns(bool runs) {
    std::lock_guard<std::mutex> g(m_lock);
    m_parentRuns = runs;
}

bool SimProcesses::ParentRuns() {
    std::lock_guard<std::mutex> g(m_lock);
    return m_parentRuns;
}

ProcessResult SimProcesses::Start(const std::string& commandLine, int waitMs) {
    // The command line becomes the wide one of CreateProcessW: bytes that
    // are not exactly UTF-8 (a path in the system's code page) are refused
    // before anything runs, as on Windows.
    std::wstring wide;
    if (!TextCodec::Utf8ToWide(commandLine, &wide)) {
        std::lock_guard<std::mutex> g(m_lock);
        m_refused.push_back(commandLine);
        ProcessResult r;
        r.error = kErrorInvalidParameter;
        return r;
    }
    const auto args = CommandLine::Split(commandLine);
    std::string host;
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (!args.empty()) {
            auto it = m_hostPrograms.find(CommandLine::ProgramName(args[0]));
            if (it != m_hostPrograms.end())
                host = it->second;
        }
    }
    if (host.empty()) {
        // A simulated program ends at once, whatever the wait.
        ProcessResult r = Run(commandLine);
        r.output.clear();
        return r;
    }
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_history.push_back(commandLine);
    }
    if (auto fault = m_faults.Take("CreateProcess")) {
        ProcessResult r;
        r.error = static_cast<DWORD>(*fault);
        return r;
    }
    std::string line = "\"" + host + "\"";
    for (std::size_t i = 1; i < args.size(); ++i)
        line += " \"" + args[i] + "\"";
#if defined(_WIN32)
    return Win32ProcessLauncher().Start(line, waitMs);
#else
    return LinuxProcessLauncher().Start(line, waitMs);
#endif
}

}  // namespace plat
