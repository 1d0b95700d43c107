// The Linux build ships the Linux backend.
#include "../Platform.h"
#include "LinuxBackend.h"

namespace plat {

std::unique_ptr<Backend> Platform::MakeDefault() {
    return std::make_unique<LinuxBackend>();
}

}  // namespace plat
