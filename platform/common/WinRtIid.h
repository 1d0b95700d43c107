// Interface ids of the Windows Runtime's parameterised interfaces and
// delegates (IAsyncOperation<T>, IVectorView<T>, their completion handlers).
// Such an id is not written down anywhere: it is a name-based (version 5,
// SHA-1) UUID made from the type's signature string in the namespace
// 11f47ad5-7b73-42c0-abae-878b1e16adee, the rule the Windows Runtime type
// system defines for parameterised types. The signature grammar used here:
//   an interface             {iid}                 (lower-case, with braces)
//   a runtime class          rc(Full.Name;{iid of its default interface})
//   a delegate               delegate({iid})
//   a parameterised type     pinterface({iid of the generic};arg;arg...)
//   basic types              string, b1, i4, u4, g16, cinterface(IInspectable)
//   an enumeration           enum(Full.Name;i4)  (u4 for flags)
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/records/WinTypes.h"

namespace plat {

class WinRtIid {
public:
    // SHA-1 of `bytes` (FIPS 180-4).
    static std::array<std::uint8_t, 20> Sha1(std::string_view bytes);

    // The id of the parameterised type whose signature is `signature`.
    static GUID FromSignature(std::string_view signature);

    // Signature pieces.
    static std::string Guid(const GUID& iid);
    static std::string RuntimeClass(std::string_view name, const GUID& defaultInterface);
    static std::string Delegate(const GUID& iid);
    static std::string Parameterised(const GUID& generic, const std::vector<std::string>& args);
    static std::string Enum(std::string_view name, bool flags = false);
};

// The generic interfaces and delegates of Windows.Foundation, by the ids the
// Windows SDK's metadata gives them.
namespace winrt_generic {
// Windows.Foundation.IAsyncOperation`1
constexpr GUID kIAsyncOperation = {
    0x9fc2b0bb, 0xe446, 0x44e2, {0xaa, 0x61, 0x9c, 0xab, 0x8f, 0x63, 0x6a, 0xf2}};
// Windows.Foundation.AsyncOperationCompletedHandler`1
constexpr GUID kAsyncOperationCompletedHandler = {
    0xfcdcf02c, 0xe5d8, 0x4478, {0x91, 0x5a, 0x4d, 0x90, 0xb7, 0x4b, 0x83, 0xa5}};
// Windows.Foundation.Collections.IVectorView`1
constexpr GUID kIVectorView = {
    0xbbe1fa4c, 0xb0e3, 0x4583, {0xba, 0xef, 0x1f, 0x1b, 0x2e, 0x48, 0x3e, 0x56}};
}  // namespace winrt_generic

}  // namespace plat
