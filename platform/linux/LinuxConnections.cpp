#include "LinuxConnections.h"

#include "platform/common/AdapterConnections.h"

namespace plat {

HRESULT LinuxConnections::Enumerate(std::vector<NetconProperties>* out) {
    return AdapterConnections::Enumerate(out);
}

}  // namespace plat
