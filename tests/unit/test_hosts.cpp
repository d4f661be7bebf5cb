#include <gtest/gtest.h>

#include "Hosts.h"

using namespace torva;
using namespace torva::model;
using automation::asBool;
using automation::asObject;
using automation::asString;
using automation::isNothing;

namespace {
constexpr HostKind kAllHosts[] = {HostKind::Excel, HostKind::Word, HostKind::Access,
                                  HostKind::Outlook};

ObjectRef bars() { return std::make_shared<Object>(u"CommandBars"); }

bool grants(Object& o, const Guid& iid) {
    try {
        return o.queryInterface(iid) != nullptr;
    } catch (const automation::Error& e) {
        EXPECT_EQ(e.hresult(), automation::kENoInterface);
        return false;
    }
}
}  // namespace

TEST(Hosts, NamesAreTheRegistryKeyNamesExactly) {
    for (auto host : kAllHosts) EXPECT_EQ(hostFromName(hostName(host)), host);
    EXPECT_EQ(hostName(HostKind::Outlook), u"Outlook");
    EXPECT_FALSE(hostFromName(u"excel"));
    EXPECT_FALSE(hostFromName(u"PowerPoint"));
    EXPECT_FALSE(hostFromName(u""));
}

TEST(Hosts, EachApplicationAnswersItsOwnApplicationIidOnly) {
    for (auto host : kAllHosts) {
        auto app = makeApplication(host, bars());
        for (auto other : kAllHosts)
            EXPECT_EQ(grants(*app, applicationIid(other)), other == host)
                << "host " << int(host) << " asked for " << int(other);
        auto wrong = makeApplication(host, bars(), HostOptions{.wrongApplication = true});
        EXPECT_FALSE(grants(*wrong, applicationIid(host)));
        // Still an automation object: IDispatch is always there.
        EXPECT_TRUE(grants(*wrong, Guid{0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}));
    }
    const Guid access = applicationIid(HostKind::Access);
    EXPECT_EQ(access.data1, 0x68CCE6C0u);
    EXPECT_EQ(access.data4[7], 0x07);
}

TEST(Hosts, ExcelWordAndAccessCarryTheirCommandBarsOnApplication) {
    for (auto host : {HostKind::Excel, HostKind::Word, HostKind::Access}) {
        auto cb = bars();
        auto app = makeApplication(host, cb);
        EXPECT_EQ(asObject(app->get(u"CommandBars")), cb);
        EXPECT_EQ(app->commandBars(), cb);
        EXPECT_THROW(app->get(u"ActiveExplorer"), automation::Error);
    }
}

TEST(Hosts, OutlookReachesCommandBarsOnlyThroughItsExplorer) {
    auto cb = bars();
    auto app = makeApplication(HostKind::Outlook, cb);
    EXPECT_THROW(app->get(u"CommandBars"), automation::Error);
    auto explorer = asObject(app->call(u"ActiveExplorer"));
    ASSERT_TRUE(explorer);
    EXPECT_EQ(explorer->typeName(), u"Explorer");
    EXPECT_EQ(asObject(explorer->get(u"CommandBars")), cb);
    EXPECT_EQ(app->commandBars(), cb);
    // The same window every time, as long as Outlook shows it.
    EXPECT_TRUE(asObject(app->call(u"ActiveExplorer"))->sameObject(*explorer));
    ASSERT_TRUE(app->findMember(u"ActiveExplorer"));
    EXPECT_EQ(app->findMember(u"ActiveExplorer")->dispid, 0x111);

    auto headless = makeApplication(HostKind::Outlook, bars(), HostOptions{.explorer = false});
    EXPECT_TRUE(isNothing(headless->call(u"ActiveExplorer")));
    EXPECT_EQ(headless->commandBars(), nullptr);
}

TEST(Hosts, WordsNormalTemplateRemembersSaved) {
    auto word = makeApplication(HostKind::Word, bars());
    auto tmpl = asObject(word->get(u"NormalTemplate"));
    ASSERT_TRUE(tmpl);
    EXPECT_EQ(word->normalTemplate()->savedWrites, 0);
    tmpl->put(u"Saved", Value{false});
    EXPECT_FALSE(asBool(tmpl->get(u"Saved")));
    tmpl->put(u"Saved", Value{true});
    EXPECT_TRUE(word->normalTemplate()->saved);
    EXPECT_EQ(word->normalTemplate()->savedWrites, 2);
    for (auto host : {HostKind::Excel, HostKind::Access, HostKind::Outlook})
        EXPECT_THROW(makeApplication(host, bars())->get(u"NormalTemplate"), automation::Error);
}

TEST(Hosts, ApplicationNamesItsHost) {
    EXPECT_EQ(asString(makeApplication(HostKind::Excel, bars())->get(u"Name")), u"Microsoft Excel");
    EXPECT_EQ(asString(makeApplication(HostKind::Outlook, bars())->get(u"Name")), u"Outlook");
    EXPECT_EQ(makeApplication(HostKind::Access, bars())->typeName(), u"Application");
}

TEST(Hosts, ComAddInGivesItsProgIdAndKeepsConnectAndObject) {
    auto addin =
        std::make_shared<COMAddIn>(u"TorvaAddIn.TorvaWordConnect", u"Torva Plakora 3.0 für Word");
    EXPECT_EQ(asString(addin->get(u"progid")), u"TorvaAddIn.TorvaWordConnect");
    EXPECT_EQ(asString(addin->get(u"Description")), u"Torva Plakora 3.0 für Word");
    EXPECT_THROW(addin->put(u"ProgID", Value{std::u16string(u"x")}), automation::Error);
    EXPECT_FALSE(asBool(addin->get(u"Connect")));
    addin->put(u"Connect", Value{true});
    EXPECT_TRUE(addin->connected);
    EXPECT_TRUE(isNothing(addin->get(u"Object")));
    auto published = std::make_shared<Object>(u"Connect");
    addin->put(u"Object", Value{ObjectRef(published)});
    EXPECT_EQ(asObject(addin->get(u"Object")), published);
    EXPECT_THROW(addin->put(u"Object", Value{int32_t(3)}), automation::Error);
}
