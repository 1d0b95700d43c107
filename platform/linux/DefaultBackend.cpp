// The Linux build ships the Linux backend.
#include "../Platform.h"
#include "LinuxBackend.h"

#if defined(LUMARI_STATE_DIR)
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#endif

namespace plat {

#if defined(LUMARI_STATE_DIR)
namespace {

// An installed program lives in a read-only system folder, so the files it
// keeps (settings, client database, log) go to a state folder instead:
// LUMARI_STATE_DIR for root, the user's own state folder otherwise.
std::string StateFolder() {
    if (geteuid() == 0)
        return LUMARI_STATE_DIR;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/')
        return std::string(state) + "/lumari-hotspot";
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return std::string(home) + "/.local/state/lumari-hotspot";
    return "/tmp/lumari-hotspot-" + std::to_string(geteuid());
}

}  // namespace
#endif

std::unique_ptr<Backend> Platform::MakeDefault() {
    auto backend = std::make_unique<LinuxBackend>();
#if defined(LUMARI_STATE_DIR)
    namespace fs = std::filesystem;
    const std::string folder = StateFolder();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (fs::is_directory(folder, ec)) {
        chmod(folder.c_str(), 0700);
        backend->SetProgramFolder(folder);
        // The manufacturer table is read beside the engine's other files.
        fs::copy_file(fs::path(LUMARI_DATA_DIR) / "mac.dat", fs::path(folder) / "mac.dat",
                      fs::copy_options::update_existing, ec);
    }
#endif
    return backend;
}

}  // namespace plat
