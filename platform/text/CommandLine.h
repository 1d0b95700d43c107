// Splitting a Windows-style command line: blanks separate, double quotes group.
#pragma once

#include <string>
#include <vector>

namespace plat {

class CommandLine {
public:
    static std::vector<std::string> Split(const std::string& line);
    // The program's file name without directory, lower-cased ("cmd.exe").
    static std::string ProgramName(const std::string& program);
};

}  // namespace plat
