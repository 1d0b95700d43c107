#include "PathText.h"

namespace plat {

char PathText::Separator() {
#if defined(_WIN32)
    return '\\';
#else
    return '/';
#endif
}

std::string PathText::Native(const std::string& path) {
#if defined(_WIN32)
    return path;
#else
    std::string p = path;
    for (auto& c : p)
        if (c == '\\')
            c = '/';
    // "dir//file" from a value that starts with a separator names the same file;
    // keep it readable.
    std::string out;
    for (char c : p) {
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out.push_back(c);
    }
    return out;
#endif
}

std::string PathText::Directory(const std::string& path) {
    const auto pos = path.find_last_of("\\/");
    if (pos == std::string::npos)
        return std::string();
    return path.substr(0, pos);
}

}  // namespace plat
