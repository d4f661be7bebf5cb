#include "host/com/RegistryWriter.h"

#include "host/com/Registration.h"
#include "platform/win/Com.h"
#include "platform/win/ComBoundary.h"
#include "platform/win/Handle.h"

namespace torva::com {

using win::wide;

namespace {

// The key under which a table root lives for this install.
HKEY rootKey(Root root, bool perUser, std::u16string& prefix) {
    if (root == Root::CurrentUser) return HKEY_CURRENT_USER;
    if (perUser) {
        prefix = u"Software\\Classes\\";
        return HKEY_CURRENT_USER;
    }
    return HKEY_CLASSES_ROOT;
}

LSTATUS writeValue(const RegistryValue& v, bool perUser) {
    std::u16string prefix;
    const HKEY root = rootKey(v.root, perUser, prefix);
    win::UniqueHkey key;
    LSTATUS rc = RegCreateKeyExW(root, wide(prefix + v.key), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    const wchar_t* name = v.name.empty() ? nullptr : wide(v.name);
    if (const auto* text = std::get_if<std::u16string>(&v.data)) {
        return RegSetValueExW(key.get(), name, 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text->c_str()),
                              static_cast<DWORD>((text->size() + 1) * sizeof(wchar_t)));
    }
    const DWORD number = std::get<uint32_t>(v.data);
    return RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                          sizeof number);
}

LSTATUS deleteKey(const RegistryKey& k, bool perUser) {
    std::u16string prefix;
    const HKEY root = rootKey(k.root, perUser, prefix);
    const LSTATUS rc = RegDeleteTreeW(root, wide(prefix + k.key));
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return rc;
    // RegDeleteTree empties the key; the key itself goes with RegDeleteKey.
    const LSTATUS gone = RegDeleteKeyW(root, wide(prefix + k.key));
    return (gone == ERROR_SUCCESS || gone == ERROR_FILE_NOT_FOUND) ? ERROR_SUCCESS : gone;
}

}  // namespace

HRESULT registerServer(const std::u16string& modulePath, bool perUser) noexcept {
    try {
        for (const auto& v : registrationValues(modulePath, sizeof(void*) == 8)) {
            const LSTATUS rc = writeValue(v, perUser);
            if (rc != ERROR_SUCCESS) {
                unregisterServer(perUser);  // leave nothing half-registered
                return HRESULT_FROM_WIN32(rc);
            }
        }
        return S_OK;
    } catch (...) {
        return win::caughtFailure().hr;
    }
}

HRESULT unregisterServer(bool perUser) noexcept {
    try {
        HRESULT result = S_OK;
        for (const auto& k : registrationKeys()) {
            const LSTATUS rc = deleteKey(k, perUser);
            if (rc != ERROR_SUCCESS) result = HRESULT_FROM_WIN32(rc);  // go on with the rest
        }
        return result;
    } catch (...) {
        return win::caughtFailure().hr;
    }
}

}  // namespace torva::com
