// A temporary folder, removed with everything in it when the object goes.
#pragma once

#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    // A file in the folder, joined with the system's separator (as the
    // program joins its own paths).
    std::string File(const std::string& name) const {
#if defined(_WIN32)
        return m_path + "\\" + name;
#else
        return m_path + "/" + name;
#endif
    }
    void Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;

private:
    std::string m_path;
};
