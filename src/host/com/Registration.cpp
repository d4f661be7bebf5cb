#include "host/com/Registration.h"

namespace torva::com {

const std::vector<ConnectClassInfo>& connectClasses() {
    static const std::vector<ConnectClassInfo> classes = {
        {u"TorvaExcelConnect", u"{E95DE50A-EAA0-4DA3-81A8-53EFB70E8160}", u"Excel",
         u"Torva Plakora 3.0 f\u00fcr Excel", u"Torva Plakora 3.0 f\u00fcr Excel\r\n"},
        {u"TorvaWordConnect", u"{FC3015E0-9CEF-44FF-8B35-7516128269F9}", u"Word",
         u"Torva Plakora 3.0 f\u00fcr Word", u"Torva Plakora 3.0 f\u00fcr Word"},
        {u"TorvaAccessConnect", u"{C0806ABA-804A-4AB0-BE98-0F9CEE61152B}", u"Access",
         u"Torva Plakora 3.0 f\u00fcr Access", u"Torva Plakora 3.0 f\u00fcr Access"},
        {u"TorvaOutlookConnect", u"{DAF25314-0935-4B88-870B-AB13D3FBF56B}", u"Outlook",
         u"Torva Plakora 3.0 f\u00fcr Outlook", u"Torva Plakora 3.0 f\u00fcr Outlook"},
    };
    return classes;
}

const std::vector<InterfaceInfo>& defaultInterfaces() {
    static const std::vector<InterfaceInfo> interfaces = {
        {u"_TorvaExcelConnect", u"{A19F64A0-E244-4208-8772-3BDD8F927957}"},
        {u"_TorvaWordConnect", u"{65410B49-36BF-475F-90A9-046EAE4E8B02}"},
        {u"_TorvaAccessConnect", u"{1C49A05B-C6C8-460B-A53C-ADB92E4948F4}"},
        {u"_TorvaOutlookConnect", u"{3B6A8FFA-53D4-4179-8CFD-6B1E836EE3EB}"},
    };
    return interfaces;
}

std::u16string progIdOf(const ConnectClassInfo& c) {
    return std::u16string(kLibraryName) + u"." + c.name;
}

namespace {
std::u16string addinKey(const ConnectClassInfo& c) {
    return u"Software\\Microsoft\\Office\\" + std::u16string(c.host) + u"\\Addins\\" + progIdOf(c);
}

// With its trailing separator, as an installer writes a folder: the package's
// rows and this table must agree byte for byte.
std::u16string folderOf(const std::u16string& path) {
    const auto slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}
}  // namespace

std::vector<RegistryValue> registrationValues(const std::u16string& modulePath, bool win64) {
    std::vector<RegistryValue> v;
    const std::u16string lib = u"TypeLib\\" + std::u16string(kLibraryId) + u"\\" + kLibraryVersion;
    v.push_back({Root::Classes, lib, u"", kLibraryDescription});
    v.push_back({Root::Classes, lib + (win64 ? u"\\0\\win64" : u"\\0\\win32"), u"", modulePath});
    v.push_back({Root::Classes, lib + u"\\FLAGS", u"", u"0"});
    v.push_back({Root::Classes, lib + u"\\HELPDIR", u"", folderOf(modulePath)});
    for (const auto& i : defaultInterfaces()) {
        const std::u16string key = u"Interface\\" + std::u16string(i.iid);
        v.push_back({Root::Classes, key, u"", i.name});
        v.push_back({Root::Classes, key + u"\\ProxyStubClsid", u"", kOleAutomationProxy});
        v.push_back({Root::Classes, key + u"\\ProxyStubClsid32", u"", kOleAutomationProxy});
        v.push_back({Root::Classes, key + u"\\TypeLib", u"", kLibraryId});
        v.push_back({Root::Classes, key + u"\\TypeLib", u"Version", kLibraryVersion});
    }
    for (const auto& c : connectClasses()) {
        const std::u16string progId = progIdOf(c);
        const std::u16string clsidKey = u"CLSID\\" + std::u16string(c.clsid);
        v.push_back({Root::Classes, clsidKey, u"", progId});
        v.push_back({Root::Classes, clsidKey + u"\\InprocServer32", u"", modulePath});
        v.push_back(
            {Root::Classes, clsidKey + u"\\InprocServer32", u"ThreadingModel", u"Apartment"});
        v.push_back({Root::Classes, clsidKey + u"\\ProgID", u"", progId});
        v.push_back({Root::Classes, clsidKey + u"\\TypeLib", u"", kLibraryId});
        v.push_back({Root::Classes, clsidKey + u"\\VERSION", u"", kLibraryVersion});
        v.push_back({Root::Classes, progId, u"", progId});
        v.push_back({Root::Classes, progId + u"\\CLSID", u"", c.clsid});
        v.push_back({Root::CurrentUser, addinKey(c), u"FriendlyName", c.friendlyName});
        v.push_back({Root::CurrentUser, addinKey(c), u"Description", c.description});
        v.push_back({Root::CurrentUser, addinKey(c), u"LoadBehavior", uint32_t{3}});
    }
    return v;
}

std::vector<RegistryKey> registrationKeys() {
    std::vector<RegistryKey> k;
    k.push_back({Root::Classes, u"TypeLib\\" + std::u16string(kLibraryId)});
    for (const auto& i : defaultInterfaces())
        k.push_back({Root::Classes, u"Interface\\" + std::u16string(i.iid)});
    for (const auto& c : connectClasses()) {
        k.push_back({Root::Classes, u"CLSID\\" + std::u16string(c.clsid)});
        k.push_back({Root::Classes, progIdOf(c)});
        k.push_back({Root::CurrentUser, addinKey(c)});
    }
    return k;
}

}  // namespace torva::com
