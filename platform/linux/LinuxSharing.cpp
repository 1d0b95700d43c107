#include "LinuxSharing.h"

#include "platform/common/ComApartments.h"

namespace plat {

namespace {

// HRESULT_FROM_WIN32(ERROR_SERVICE_DOES_NOT_EXIST): there is no sharing service.
constexpr HRESULT kNoSharingService = HresultFromWin32(kErrorServiceDoesNotExist);

class LinuxSharingManager : public NetSharingManager {
public:
    HRESULT get_SharingInstalled(VARIANT_BOOL* installed) override {
        if (installed == nullptr)
            return kEPointer;
        *installed = kVariantFalse;
        return kSOk;
    }
    HRESULT get_EnumEveryConnection(std::unique_ptr<SharingEveryConnection>* out) override {
        if (out != nullptr)
            out->reset();
        return kNoSharingService;
    }
    HRESULT get_NetConnectionProps(SharingConnection&,
                                   std::unique_ptr<NetConnectionProps>* out) override {
        if (out != nullptr)
            out->reset();
        return kNoSharingService;
    }
    HRESULT get_INetSharingConfigurationForINetConnection(
        SharingConnection&, std::unique_ptr<NetSharingConfiguration>* out) override {
        if (out != nullptr)
            out->reset();
        return kNoSharingService;
    }
};

}  // namespace

HRESULT LinuxSharing::CreateSharingManager(const GUID& clsid, DWORD clsctx,
                                           std::unique_ptr<NetSharingManager>* out) {
    if (out == nullptr)
        return kEPointer;
    out->reset();
    if (clsid != kClsidNetSharingManager || (clsctx & kClsctxInprocServer) == 0)
        return kRegdbEClassNotReg;
    if (!m_com.InApartment())
        return kCoENotInitialized;
    *out = std::make_unique<LinuxSharingManager>();
    return kSOk;
}

}  // namespace plat
