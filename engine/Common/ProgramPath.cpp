#include "ProgramPath.h"

#include "platform/text/PathText.h"
#include "platform/winapi/Win32Api.h"

std::string GetProgramDirectory() {
    std::string path = plat::GetModuleFileNameA();
    if (path.size() > 260)
        path.resize(260);  // MAX_PATH, as GetModuleFileNameA truncates
    return plat::PathText::Directory(path);
}
