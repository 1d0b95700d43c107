#include "NetconRecords.h"

#include <cstring>

#include "platform/text/TextCodec.h"

namespace plat {

namespace {

WCHAR* NewText(const std::wstring& text) {
    const std::u16string utf16 = TextCodec::ToUtf16(text);
    auto* out = new WCHAR[utf16.size() + 1];
    for (std::size_t i = 0; i < utf16.size(); ++i)
        out[i] = static_cast<WCHAR>(utf16[i]);
    out[utf16.size()] = 0;
    return out;
}

}  // namespace

DWORD NetconRecords::DefaultMediaType(DWORD ifType) {
    if (ifType == kIfTypePpp)
        return kNcmPhone;
    if (ifType == kIfTypeTunnel)
        return kNcmTunnel;
    return kNcmLan;
}

NETCON_PROPERTIES* NetconRecords::FromAdapter(const AdapterInfo& adapter, const DWORD* mediaType,
                                              const DWORD* status) {
    auto* p = new NETCON_PROPERTIES{};
    p->guidId = adapter.guid;
    p->pszwName = NewText(adapter.friendlyName);
    p->pszwDeviceName = NewText(adapter.description);
    p->Status = status != nullptr ? *status : adapter.up ? kNcsConnected : kNcsMediaDisconnected;
    p->MediaType = mediaType != nullptr ? *mediaType : DefaultMediaType(adapter.ifType);
    return p;
}

void NetconRecords::Free(NETCON_PROPERTIES* properties) {
    if (properties == nullptr)
        return;
    delete[] properties->pszwName;
    delete[] properties->pszwDeviceName;
    delete properties;
}

}  // namespace plat
