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
    // A program's path as the first word of a command line: in double
    // quotes, so that a blank in it ("C:\Program Files\...") does not end
    // it. A Windows path holds no double quote.
    static std::string QuoteProgram(const std::string& path);
};

}  // namespace plat
