#include "TetheringTypes.h"

#include "platform/common/WinRtIid.h"

namespace plat::tethering {

namespace {

std::string ResultClass() {
    return WinRtIid::RuntimeClass(
        "Windows.Networking.NetworkOperators.NetworkOperatorTetheringOperationResult",
        kIidTetheringOperationResult);
}

GUID Of(const GUID& generic, const std::string& arg) {
    return WinRtIid::FromSignature(WinRtIid::Parameterised(generic, {arg}));
}

}  // namespace

GUID IidAsyncOperationOfResult() {
    return Of(winrt_generic::kIAsyncOperation, ResultClass());
}

GUID IidCompletedHandlerOfResult() {
    return Of(winrt_generic::kAsyncOperationCompletedHandler, ResultClass());
}

GUID IidVectorViewOfClient() {
    return Of(
        winrt_generic::kIVectorView,
        WinRtIid::RuntimeClass("Windows.Networking.NetworkOperators.NetworkOperatorTetheringClient",
                               kIidTetheringClient));
}

GUID IidVectorViewOfProfile() {
    return Of(winrt_generic::kIVectorView,
              WinRtIid::RuntimeClass("Windows.Networking.Connectivity.ConnectionProfile",
                                     kIidConnectionProfile));
}

GUID IidVectorViewOfHostName() {
    return Of(winrt_generic::kIVectorView,
              WinRtIid::RuntimeClass("Windows.Networking.HostName", kIidHostName));
}

}  // namespace plat::tethering
