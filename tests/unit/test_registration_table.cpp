#include <gtest/gtest.h>

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
    // Class, host key and display name of each; Excel's description alone
    // carries a trailing line break.
    const struct {
        std::u16string name, host, friendly, description;
    } expected[] = {
        {u"TorvaExcelConnect", u"Excel", u"Torva Plakora 3.0 f\u00fcr Excel",
         u"Torva Plakora 3.0 f\u00fcr Excel\r\n"},
        {u"TorvaWordConnect", u"Word", u"Torva Plakora 3.0 f\u00fcr Word",
         u"Torva Plakora 3.0 f\u00fcr Word"},
        {u"TorvaAccessConnect", u"Access", u"Torva Plakora 3.0 f\u00fcr Access",
         u"Torva Plakora 3.0 f\u00fcr Access"},
        {u"TorvaOutlookConnect", u"Outlook", u"Torva Plakora 3.0 f\u00fcr Outlook",
         u"Torva Plakora 3.0 f\u00fcr Outlook"},
    };
    ASSERT_EQ(connectClasses().size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const auto& c = connectClasses()[i];
        const auto& e = expected[i];
        const std::u16string clsidKey = u"CLSID\\" + std::u16string(c.clsid);
        const std::u16string progId = progIdOf(c);
        EXPECT_EQ(progId, u"TorvaAddIn." + e.name);
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
            u"Software\\Microsoft\\Office\\" + e.host + u"\\Addins\\" + progId;
        const auto* load = find(values, Root::CurrentUser, addin, u"LoadBehavior");
        ASSERT_NE(load, nullptr);
        EXPECT_EQ(std::get<uint32_t>(load->data), 3u);
        const auto* friendly = find(values, Root::CurrentUser, addin, u"FriendlyName");
        const auto* description = find(values, Root::CurrentUser, addin, u"Description");
        ASSERT_TRUE(friendly && description);
        EXPECT_EQ(std::get<std::u16string>(friendly->data), e.friendly);
        EXPECT_EQ(std::get<std::u16string>(description->data), e.description);
    }
    // The library, version 1.1, described as shipped; the entry of the right
    // bitness points at the DLL.
    const std::u16string lib = u"TypeLib\\" + std::u16string(kLibraryId) + u"\\1.1";
    const auto* library = find(values, Root::Classes, lib, u"");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(std::get<std::u16string>(library->data), u"Torva Plakora 3.0 Startmodul");
    EXPECT_NE(find(values, Root::Classes, lib + u"\\0\\win32", u""), nullptr);
    EXPECT_EQ(find(values, Root::Classes, lib + u"\\0\\win64", u""), nullptr);
}
