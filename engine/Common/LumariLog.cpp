#include "LumariLog.h"

#include <glog/logging.h>

#include <atomic>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "LogFileSink.h"
#include "ProgramPath.h"
#include "WinVersion.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/PathText.h"
#include "platform/winapi/Win32Api.h"

namespace {
std::atomic<bool> g_logInitialized{false};
// glog keeps the program name it is given; the sink lives as long as the process.
std::string g_programName;
std::unique_ptr<CLogFileSink> g_sink;
}  // namespace

std::string GetLogDirectory() {
    return GetProgramDirectory() + plat::PathText::Separator() + "Log";
}

std::string GetLogFilePath() {
    return GetLogDirectory() + plat::PathText::Separator() + "lumari.log";
}

bool IsLogInitialized() {
    return g_logInitialized.load();
}

void FlushLog() {
    if (g_logInitialized)
        google::FlushLogFiles(google::GLOG_INFO);
}

void InitLog() {
    if (g_logInitialized) {
        plat::OutputDebugStringA("[Lumari] Already init log.");
        return;
    }
    std::setlocale(LC_ALL, "");

    const std::string dir = plat::PathText::Native(GetLogDirectory());
    std::error_code ec;
    const bool created = std::filesystem::create_directory(dir, ec);
    if (!created && (ec || !std::filesystem::is_directory(dir))) {
        char buf[128];
        const int code = ec ? ec.value() : static_cast<int>(plat::kErrorAlreadyExists);
        std::snprintf(buf, sizeof buf, "[Lumari] Create log dir return %d, error %d", 0, code);
        plat::OutputDebugStringA(buf);
    }

    g_programName = plat::PathText::Native(GetLogFilePath());
    if (!google::IsGoogleLoggingInitialized())
        google::InitGoogleLogging(g_programName.c_str());

    g_logInitialized = true;
    FLAGS_log_prefix = true;
    FLAGS_logbufsecs = 0;
    FLAGS_max_log_size = 1;
    FLAGS_stop_logging_if_full_disk = true;
    FLAGS_logtostderr = false;
    FLAGS_alsologtostderr = false;
    FLAGS_stderrthreshold = google::GLOG_FATAL;
    // glog's own files would be named after the program, host and time; the
    // sink writes the one file of the program instead, every severity into it.
    for (int s = google::GLOG_INFO; s < google::NUM_SEVERITIES; ++s) {
        google::SetLogDestination(s, "");
        google::SetLogSymlink(s, "");
    }
    g_sink = std::make_unique<CLogFileSink>(g_programName, kMaxLogBytes);
    google::AddLogSink(g_sink.get());

    LogOsVersion();
}

void LogOsVersion() {
    plat::OsInfo& os = plat::Platform::Current().Os();
    if (!os.IsWindows()) {
        // The version test answers as the newest supported Windows; the log
        // names the real system.
        LOG(INFO) << os.Description();
        return;
    }
    if (IsWindowsServer()) {
        LOG(INFO) << "Windows Server";
    } else if (IsWindowsVersionOrGreater(6, 3, 0)) {
        LOG(INFO) << "Windows 8.1";
    } else if (IsWindowsVersionOrGreater(6, 2, 0)) {
        LOG(INFO) << "Windows 8";
    } else if (IsWindowsVersionOrGreater(6, 1, 0)) {
        LOG(INFO) << "Windows 7";
    } else if (IsWindowsVersionOrGreater(6, 0, 0)) {
        LOG(INFO) << "Windows vista";
    } else if (IsWindowsVersionOrGreater(5, 1, 3)) {
        LOG(INFO) << "Windows XP sp3";
    } else if (IsWindowsVersionOrGreater(5, 1, 2)) {
        LOG(INFO) << "Windows XP sp2";
    } else {
        LOG(ERROR) << "Windows XP sp1 or lower";
    }
    plat::DWORD edition = 0;
    if (GetWindowsEdition(&edition) && (edition == kProductStarter || edition == kProductStarterN))
        LOG(INFO) << "Start Edition";
}
