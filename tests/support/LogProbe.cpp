// A small program that sets up the log as the desktop program does, on a
// simulated PC whose program directory is given, writes one line, and prints
// what went to the debugger output. Tests run it to see the log across runs.
//   lumari_log_probe <directory> <tag> [xp2|xp3|vista|7|7starter|8|8.1|server]
#include <glog/logging.h>

#include <cstdio>
#include <string>

#include "Common/LumariLog.h"
#include "platform/sim/SimPc.h"
#include "platform/winapi/DebugOutput.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: lumari_log_probe <directory> <tag> [windows]\n");
        return 2;
    }
    plat::SimPc& pc = plat::SimPc::Install();
    pc.os.SetModuleFileName(std::string(argv[1]) + "/Zentavo");
    const std::string windows = argc > 3 ? argv[3] : "7";
    if (windows == "xp2")
        pc.os.SetWindows(plat::SimWindows::XpSp2);
    else if (windows == "xp3")
        pc.os.SetWindows(plat::SimWindows::XpSp3);
    else if (windows == "vista")
        pc.os.SetWindows(plat::SimWindows::Vista);
    else if (windows == "7starter")
        pc.os.SetWindows(plat::SimWindows::SevenStarter);
    else if (windows == "8")
        pc.os.SetWindows(plat::SimWindows::Eight);
    else if (windows == "8.1")
        pc.os.SetWindows(plat::SimWindows::EightOne);
    else if (windows == "server")
        pc.os.SetWindows(plat::SimWindows::Server2008R2);
    else
        pc.os.SetWindows(plat::SimWindows::Seven);

    plat::DebugOutput::Instance().StartCapture();
    InitLog();
    LOG(INFO) << "probe " << argv[2];
    LOG(WARNING) << "probe warning " << argv[2];
    LOG(ERROR) << "probe error " << argv[2];
    InitLog();
    for (const auto& line : plat::DebugOutput::Instance().Captured())
        std::printf("%s\n", line.c_str());
    return 0;
}
