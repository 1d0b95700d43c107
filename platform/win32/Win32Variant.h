// Conversions between the facilities' Variant and the Windows VARIANT.
#pragma once

#include <oaidl.h>

#include "platform/facility/Wmi.h"

namespace plat {

// The caller clears the VARIANT with VariantClear.
void ToVariant(const Variant& in, ::VARIANT* out);
Variant FromVariant(const ::VARIANT& in);

}  // namespace plat
