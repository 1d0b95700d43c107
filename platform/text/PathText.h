// File paths as the program composes them: Windows-style text with
// backslashes, turned into the native form where files are opened.
#pragma once

#include <string>

namespace plat {

class PathText {
public:
    // The separator the program puts between its directory and a file name.
    static char Separator();
    // Backslashes become slashes on POSIX systems; unchanged on Windows.
    static std::string Native(const std::string& path);
    // The text up to the last separator (either kind), without it.
    static std::string Directory(const std::string& path);
};

}  // namespace plat
