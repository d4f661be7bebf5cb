#pragma once
// The registry, read as Office reads it: the add-ins registered to load at
// start-up for a host, and the class and DLL that COM finds for each.

#include <objbase.h>
#include <windows.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace torva::emulator {

struct Registered {
    std::wstring progId;
    std::wstring friendlyName;
    std::wstring description;
};

// The user's add-ins for HOST (Excel, Word, ...), then the machine's.
std::vector<Registered> registeredAddIns(const std::u16string& host);

// The add-in's class as COM would find it, the user's classes included.
HRESULT addInClass(const std::wstring& progId, CLSID& clsid);
// The InprocServer32 path of a class; "" where there is none.
std::wstring inprocServer(const CLSID& clsid);
// The add-in's DLL as COM finds it; "" where it is not registered.
std::wstring addinPath(const std::wstring& progId);

// For each ProgID, whether its DLL says it could be unloaded now
// (DllCanUnloadNow); null where the DLL is not loaded or has no answer.
nlohmann::ordered_json canUnload(const std::vector<std::wstring>& progIds);

}  // namespace torva::emulator
