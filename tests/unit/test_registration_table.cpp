#include <gtest/gtest.h>

#include <set>

#include "host/com/Registration.h"

using namespace torva::com;

namespace {
const RegistryValue* find(const std::vector<RegistryValue>& values, Root root,
                          const std::u16string& key, const std::u16string& name) {
    for (const auto& v : values)
        if (v.root == root && v.key == key && v.name == name) return &v;
    return nullptr;
}
}  // namespace

TEST(RegistrationTable, EachClassIsAnApartmentServerFoundByItsProgIdAndLoadedByItsHost) {
    const std::u16string dll = u"C:\\Addin\\TorvaAddIn.dll";
    const auto values = registrationValues(dll, false);
    std::set<std::u16string> hosts;
    for (const auto& c : connectClasses()) {
        const std::u16string clsidKey = u"CLSID\\" + std::u16string(c.clsid);
        const std::u16string progId = progIdOf(c);
        EXPECT_EQ(progId, u"TorvaAddIn." + std::u16string(c.name));
        const auto* server = find(values, Root::Classes, clsidKey + u"\\InprocServer32", u"");
        ASSERT_NE(server, nullptr);
        EXPECT_EQ(std::get<std::u16string>(server->data), dll);
        const auto* model =
            find(values, Root::Classes, clsidKey + u"\\InprocServer32", u"ThreadingModel");
        ASSERT_NE(model, nullptr);
        EXPECT_EQ(std::get<std::u16string>(model->data), u"Apartment");
        const auto* back = find(values, Root::Classes, progId + u"\\CLSID", u"");
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(std::get<std::u16string>(back->data), c.clsid);

        const std::u16string addin =
            u"Software\\Microsoft\\Office\\" + std::u16string(c.host) + u"\\Addins\\" + progId;
        const auto* load = find(values, Root::CurrentUser, addin, u"LoadBehavior");
        ASSERT_NE(load, nullptr);
        EXPECT_EQ(std::get<uint32_t>(load->data), 3u);
        const auto* friendly = find(values, Root::CurrentUser, addin, u"FriendlyName");
        const auto* description = find(values, Root::CurrentUser, addin, u"Description");
        ASSERT_TRUE(friendly && description);
        const auto name = std::get<std::u16string>(friendly->data);
        EXPECT_EQ(name, u"Torva Plakora 3.0 f\u00fcr " + std::u16string(c.host));
        // Excel's description alone carries a trailing line break.
        const std::u16string expected = c.host == std::u16string(u"Excel") ? name + u"\r\n" : name;
        EXPECT_EQ(std::get<std::u16string>(description->data), expected);
        hosts.insert(c.host);
    }
    EXPECT_EQ(hosts, (std::set<std::u16string>{u"Excel", u"Word", u"Access", u"Outlook"}));
    // The type library of the right bitness points at the DLL.
    const std::u16string lib = u"TypeLib\\" + std::u16string(kLibraryId) + u"\\1.1";
    EXPECT_NE(find(values, Root::Classes, lib + u"\\0\\win32", u""), nullptr);
    EXPECT_EQ(find(values, Root::Classes, lib + u"\\0\\win64", u""), nullptr);
}
