#pragma once
// What the server writes into the registry, as data: one table serves
// machine-wide and per-user registration, unregistration and the tests that
// read the registry back.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace torva::com {

enum class Root {
    Classes,      // HKEY_CLASSES_ROOT, or HKCU\Software\Classes for a per-user install
    CurrentUser,  // HKEY_CURRENT_USER
};

struct RegistryValue {
    Root root;
    std::u16string key;
    std::u16string name;  // empty: the key's default value
    std::variant<std::u16string, uint32_t> data;
};

struct RegistryKey {
    Root root;
    std::u16string key;
};

struct ConnectClassInfo {
    const char16_t* name;   // TorvaExcelConnect
    const char16_t* clsid;  // {...}
    const char16_t* host;   // Office key name: Excel
    const char16_t* friendlyName;
    const char16_t* description;
};

inline constexpr const char16_t* kLibraryName = u"TorvaAddIn";
inline constexpr const char16_t* kLibraryId = u"{EBB75513-FC8E-4C6C-A8EB-0EC840121665}";
inline constexpr const char16_t* kLibraryVersion = u"1.1";
inline constexpr const char16_t* kLibraryDescription = u"Torva Plakora 3.0 Startmodul";
// The system's proxy for dual interfaces, marshalled from the type library.
inline constexpr const char16_t* kOleAutomationProxy = u"{00020424-0000-0000-C000-000000000046}";

const std::vector<ConnectClassInfo>& connectClasses();
std::u16string progIdOf(const ConnectClassInfo& c);

struct InterfaceInfo {
    const char16_t* name;  // _TorvaExcelConnect
    const char16_t* iid;
};
const std::vector<InterfaceInfo>& defaultInterfaces();

// Every value that registration writes for a server at modulePath, whose
// type library is embedded as resource 1. The type library goes in as data
// too, so that a per-user install never touches the machine-wide classes.
std::vector<RegistryValue> registrationValues(const std::u16string& modulePath, bool win64);
// The keys that registration created and unregistration deletes with all
// they hold; parents such as ...\Office\Excel\Addins are shared and stay.
std::vector<RegistryKey> registrationKeys();

}  // namespace torva::com
