#include "Win32Variant.h"

#include <oleauto.h>

namespace plat {

void ToVariant(const Variant& in, ::VARIANT* out) {
    ::VariantInit(out);
    switch (in.vt) {
        case kVtBstr:
            V_VT(out) = VT_BSTR;
            V_BSTR(out) =
                ::SysAllocStringLen(in.bstrVal.data(), static_cast<::UINT>(in.bstrVal.size()));
            break;
        case kVtBool:
            V_VT(out) = VT_BOOL;
            V_BOOL(out) = in.boolVal != 0 ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case kVtI4:
            V_VT(out) = VT_I4;
            V_I4(out) = in.lVal;
            break;
        case kVtNull:
            V_VT(out) = VT_NULL;
            break;
        default:
            break;
    }
}

Variant FromVariant(const ::VARIANT& in) {
    Variant v;
    v.vt = V_VT(&in);
    switch (V_VT(&in)) {
        case VT_BSTR:
            if (V_BSTR(&in) != nullptr)
                v.bstrVal.assign(V_BSTR(&in), ::SysStringLen(V_BSTR(&in)));
            break;
        case VT_BOOL:
            v.boolVal = V_BOOL(&in);
            break;
        case VT_I4:
            v.lVal = V_I4(&in);
            break;
        default:
            break;
    }
    return v;
}

}  // namespace plat
