// The Linux registry file: any bytes load without harm, and what was loaded
// saves to text that loads as the same registry.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/common/RegistryStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    plat::RegistryStore store;
    store.Deserialize(std::string(reinterpret_cast<const char*>(data), size));
    const std::string once = store.Serialize();
    plat::RegistryStore again;
    again.Deserialize(once);
    if (again.Serialize() != once)
        std::abort();
    return 0;
}
