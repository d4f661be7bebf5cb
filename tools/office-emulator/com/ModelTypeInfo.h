#pragma once
// Type information just deep enough for TypeName and the caller's DISPID
// cache: the name, and a GUID that is the same for every object of the type.

#include <oaidl.h>

#include <string>

namespace torva::model::com {

// Like a loaded type library's, there is one per type for the life of the
// process, so it is not counted as a reference the add-in could leak.
ITypeInfo* typeInfoOf(const std::u16string& typeName);

}  // namespace torva::model::com
