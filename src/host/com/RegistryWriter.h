#pragma once
// Writes and deletes the registration table in the real registry.

#include <windows.h>
#include <objbase.h>

#include <string>

namespace torva::com {

// perUser: classes and type library under HKCU\Software\Classes, for users
// without administrator rights.
HRESULT registerServer(const std::u16string& modulePath, bool perUser) noexcept;
HRESULT unregisterServer(bool perUser) noexcept;

}  // namespace torva::com
