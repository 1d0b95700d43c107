#include "TempDir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

TempDir::TempDir() {
    // A new folder with a random name; create_directory fails on a name that
    // exists, so two tests never share one.
    std::random_device seed;
    std::mt19937_64 random(seed());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto name = "lumari-test-" + std::to_string(random() % 1000000000000ull);
        std::error_code ec;
        if (std::filesystem::create_directory(base / name, ec)) {
            m_path = (base / name).string();
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be created in " + base.string());
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

void TempDir::Write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(File(name), std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string TempDir::Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
