#include "CommandLine.h"

#include <cctype>

namespace plat {

std::vector<std::string> CommandLine::Split(const std::string& line) {
    std::vector<std::string> out;
    std::string cur;
    bool inQuotes = false, have = false;
    for (char c : line) {
        if (c == '"') {
            inQuotes = !inQuotes;
            have = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (have)
                out.push_back(cur);
            cur.clear();
            have = false;
        } else {
            cur.push_back(c);
            have = true;
        }
    }
    if (have)
        out.push_back(cur);
    return out;
}

std::string CommandLine::QuoteProgram(const std::string& path) {
    return "\"" + path + "\"";
}

std::string CommandLine::ProgramName(const std::string& program) {
    std::string p = program;
    const auto slash = p.find_last_of("\\/");
    if (slash != std::string::npos)
        p = p.substr(slash + 1);
    for (auto& c : p)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return p;
}

}  // namespace plat
