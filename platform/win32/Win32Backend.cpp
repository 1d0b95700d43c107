#include "Win32Backend.h"

#include "../Platform.h"
#include "platform/winapi/DebugOutput.h"

namespace plat {

Win32Backend::Win32Backend() {
    DebugOutput::Instance().SetSink(DebugOutput::Sink::Debugger);
}

// The Windows build ships the Windows backend.
std::unique_ptr<Backend> Platform::MakeDefault() {
    return std::make_unique<Win32Backend>();
}

}  // namespace plat
