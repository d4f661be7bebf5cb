#include <gtest/gtest.h>

#include <optional>

#include "host/com/Registration.h"

using namespace torva::com;

using Data = std::optional<std::variant<std::u16string, uint32_t>>;

TEST(RegistrationTable, EachClassIsAnApartmentServerFoundByItsProgIdAndLoadedByItsHost) {
    const std::u16string dll = u"C:\\Addin\\TorvaAddIn.dll";
    const auto values = registrationValues(dll, false);
    const auto at = [&](Root root, const std::u16string& key, const std::u16string& name) {
        for (const auto& v : values)
            if (v.root == root && v.key == key && v.name == name) return Data{v.data};
        return Data{};
    };
    // Host of each class, in order; Excel's description alone carries a
    // trailing line break.
    const std::pair<std::u16string, std::u16string> expected[] = {
        {u"Excel", u"\r\n"}, {u"Word", u""}, {u"Access", u""}, {u"Outlook", u""}};
    ASSERT_EQ(connectClasses().size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const auto& c = connectClasses()[i];
        const auto& [host, descriptionEnd] = expected[i];
        const std::u16string clsidKey = u"CLSID\\" + std::u16string(c.clsid);
        const std::u16string progId = progIdOf(c);
        EXPECT_EQ(progId, u"TorvaAddIn.Torva" + host + u"Connect");
        EXPECT_EQ(at(Root::Classes, clsidKey + u"\\InprocServer32", u""), Data{dll});
        EXPECT_EQ(at(Root::Classes, clsidKey + u"\\InprocServer32", u"ThreadingModel"),
                  Data{u"Apartment"});
        EXPECT_EQ(at(Root::Classes, progId + u"\\CLSID", u""), Data{std::u16string(c.clsid)});

        const std::u16string addin =
            u"Software\\Microsoft\\Office\\" + host + u"\\Addins\\" + progId;
        const std::u16string friendly = u"Torva Plakora 3.0 f\u00fcr " + host;
        EXPECT_EQ(at(Root::CurrentUser, addin, u"LoadBehavior"), Data{3u});
        EXPECT_EQ(at(Root::CurrentUser, addin, u"FriendlyName"), Data{friendly});
        EXPECT_EQ(at(Root::CurrentUser, addin, u"Description"), Data{friendly + descriptionEnd});
    }
    // The library, version 1.1, described as shipped; the entry of the right
    // bitness points at the DLL.
    const std::u16string lib = u"TypeLib\\" + std::u16string(kLibraryId) + u"\\1.1";
    EXPECT_EQ(at(Root::Classes, lib, u""), Data{u"Torva Plakora 3.0 Startmodul"});
    EXPECT_EQ(at(Root::Classes, lib + u"\\0\\win32", u""), Data{dll});
    EXPECT_FALSE(at(Root::Classes, lib + u"\\0\\win64", u""));
}
