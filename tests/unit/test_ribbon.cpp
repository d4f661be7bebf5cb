// The Ribbon as Office 2007 and later drive it: which versions get it
// instead of the command bars, the markup each host receives, and the
// callbacks that markup names.
#include "host/Ribbon.h"
#include "test_connect_support.h"

using namespace torva;
using namespace torva::model;
using automation::Args;
using automation::Value;

namespace {

// The host's Application as the add-in meets it, with the Version that Office
// reports (none: reading it fails) and a record of every member asked of it.
class VersionedApplication : public automation::Object,
                             public std::enable_shared_from_this<VersionedApplication> {
  public:
    VersionedApplication(ObjectRef app, std::optional<Value> version)
        : app_(std::move(app)), version_(std::move(version)) {}

    Value get(std::u16string_view name, const Args& args) override {
        asked.emplace_back(name);
        if (name == u"Version") {
            if (!version_) throw automation::Error(automation::kEFail, u"no Version");
            return *version_;
        }
        return app_->get(name, args);
    }
    void appendText(std::u16string_view name, std::u16string& out) override {
        out += automation::asString(get(name, {}));
    }
    void put(std::u16string_view name, const Value& value) override {
        asked.emplace_back(name);
        app_->put(name, value);
    }
    Value call(std::u16string_view name, const Args& args) override {
        asked.emplace_back(name);
        return app_->call(name, args);
    }
    std::vector<Value> items() override { return app_->items(); }
    std::u16string typeName() override { return app_->typeName(); }
    ObjectRef queryInterface(const Guid& iid) override {
        (void)app_->queryInterface(iid);  // declines what the host's Application declines
        return shared_from_this();
    }
    automation::Subscription subscribe(const Guid& iid, automation::EventHandler h) override {
        return app_->subscribe(iid, std::move(h));
    }
    bool sameObject(automation::Object& other) override { return this == &other; }

    std::vector<std::u16string> asked;

  private:
    ObjectRef app_;
    std::optional<Value> version_;
};

struct Host {
    std::shared_ptr<ConnectClass> addin;
    std::shared_ptr<Application> app;
    std::shared_ptr<VersionedApplication> versioned;
};

class Ribbon : public test::HostTest {
  protected:
    // The host started as Office starts it, connected, add-ins updated,
    // start-up complete and the Access timer ticked once.
    Host start(HostKind kind, std::optional<Value> version, bool database = true) {
        Host h{test::makeConnect(kind), nullptr, nullptr};
        folders_->markLog();  // a repeated string-table load logs
        AccessSetup access;
        if (database) access.database = u"C:\\shop.accdb";
        // Access with nothing open has nothing selected either.
        access.currentObjectType = database ? kAcTable : -1;
        access.currentObjectName = u"Customers";
        h.app = test::makeHost(kind, {}, access);
        h.versioned = std::make_shared<VersionedApplication>(h.app, std::move(version));
        h.addin->AddinInstance_OnConnection(h.versioned, 1, test::addInOf(kind));
        h.addin->AddinInstance_OnAddInsUpdate();
        h.addin->AddinInstance_OnStartupComplete();
        platform::posix::fireTimers();
        return h;
    }
};

// The ribbon ID that each host asks for first.
std::u16string_view mainRibbonId(HostKind kind) {
    constexpr std::u16string_view ids[] = {u"Microsoft.Excel.Workbook", u"Microsoft.Word.Document",
                                           u"Microsoft.Access.Database",
                                           u"Microsoft.Outlook.Explorer"};
    return ids[static_cast<int>(kind)];
}

}  // namespace

TEST(RibbonVersion, MajorNumberOfTheVersionText) {
    const std::pair<std::u16string_view, std::optional<int>> cases[] = {
        {u"16.0", 16},       {u"12.0", 12},  {u"9.0", 9},     {u"14.0.4760", 14}, {u"11", 11},
        {u"", std::nullopt}, {u".0", {}},    {u"v16", {}},    {u"16,0", {}},      {u" 16.0", {}},
        {u"16 ", {}},        {u"12345", {}}, {u"1234", 1234},
    };
    for (const auto& [text, major] : cases) EXPECT_EQ(majorVersion(text), major) << toUtf8(text);
}

// Per host and version: the Ribbon (no toolbar, button, menu entry or Access
// timer; Word's normal template never asked for), its markup in the
// namespace that Office reads (Office 2007 knows only the first), or exactly
// the command bars and no markup. Outlook 2007's explorer has no Ribbon; an
// unreadable or strange Version keeps the command bars.
TEST_F(Ribbon, VersionDecidesBetweenRibbonAndCommandBars) {
    const struct {
        std::optional<Value> version;
        std::u16string_view excelWordAccess, outlook;  // namespace; empty: command bars
    } cases[] = {{Value{u"9.0"}, u"", u""},
                 {Value{u"11.0"}, u"", u""},
                 {Value{u"12.0"}, u"2006/01", u""},
                 {Value{u"12.0.6425"}, u"2006/01", u""},
                 {Value{u"14.0.4760"}, u"2009/07", u"2009/07"},
                 {Value{u"16.0"}, u"2009/07", u"2009/07"},
                 {Value{u"sixteen"}, u"", u""},
                 {Value{u""}, u"", u""},
                 {std::nullopt, u"", u""}};
    for (const auto& c : cases) {
        for (HostKind kind :
             {HostKind::Excel, HostKind::Word, HostKind::Access, HostKind::Outlook}) {
            SCOPED_TRACE(toUtf8(hostName(kind)) + " " +
                         (c.version ? toUtf8(automation::asString(*c.version)) : "unreadable"));
            const std::u16string_view ns =
                kind == HostKind::Outlook ? c.outlook : c.excelWordAccess;
            const bool ribbon = !ns.empty();
            Host h = start(kind, c.version);
            EXPECT_EQ(h.addin->showsRibbon(), ribbon);
            EXPECT_EQ(static_cast<bool>(h.addin->commandbarbutton()), !ribbon);
            EXPECT_EQ(static_cast<bool>(h.addin->menuButton()), !ribbon);
            auto bars = std::dynamic_pointer_cast<CommandBars>(h.app->commandBars());
            EXPECT_EQ(static_cast<bool>(bars->find(GetString(u"0900"))), !ribbon);
            EXPECT_EQ(platform::posix::recorder().timers.size(),
                      kind == HostKind::Access && !ribbon ? 1u : 0u);
            const std::u16string xml = h.addin->GetCustomUI(mainRibbonId(kind));
            if (ribbon) {
                EXPECT_TRUE(
                    xml.starts_with(u"<customUI xmlns=\"http://schemas.microsoft.com/office/" +
                                    std::u16string(ns) + u"/customui\" "))
                    << toUtf8(xml);
                h.addin->AddinInstance_OnBeginShutdown();
                h.addin->AddinInstance_OnDisconnection(0);
                // Connection asks the version; nothing else is asked of the host.
                EXPECT_EQ(h.versioned->asked, std::vector<std::u16string>{u"Version"});
            } else {
                EXPECT_EQ(xml, u"");
                if (kind == HostKind::Word) {
                    EXPECT_EQ(h.app->normalTemplate()->savedWrites, 2);  // one a start-up step
                }
            }
            EXPECT_TRUE(folders_->newLogLines().empty());
            platform::posix::recorder().timers.clear();
            test::resetAddInTimer();
        }
    }
}

// Each host's markup: the group labelled with the toolbar's name, one large
// button with the host's caption and tooltip, on the tab where the host's
// users look. Outlook asks once per window type; only the explorer gets the
// button.
TEST_F(Ribbon, EachHostGetsItsGroupOnItsTab) {
    const std::u16string head =
        u"<customUI xmlns=\"http://schemas.microsoft.com/office/2009/07/customui\" "
        u"onLoad=\"onLoad\"><ribbon><tabs>";
    const std::u16string tail = u"</tabs></ribbon></customUI>";
    // A tab with the group after `after` and its one button for `host`.
    const auto tab = [](std::u16string idMso, std::u16string after, std::u16string host,
                        std::u16string suffix = u"") {
        return u"<tab idMso=\"" + idMso + u"\"><group id=\"TorvaGroup" + suffix +
               u"\" label=\"Plakora\"" + after + u"><button id=\"TorvaButton" + suffix +
               u"\" size=\"large\" label=\"Labels from " + host + u"\" supertip=\"" + host +
               u" tip\" onAction=\"onAction\" getImage=\"getImage\"/></group></tab>";
    };
    const std::pair<HostKind, std::u16string> cases[] = {
        {HostKind::Excel, tab(u"TabHome", u"", u"Excel")},
        {HostKind::Word,
         tab(u"TabMailings", u" insertAfterMso=\"GroupEnvelopeLabelCreate\"", u"Word")},
        {HostKind::Access, tab(u"TabExternalData", u" insertAfterMso=\"GroupExport\"", u"Access")},
        {HostKind::Outlook, tab(u"TabContacts", u"", u"Outlook", u"Contacts") +
                                tab(u"TabMail", u"", u"Outlook", u"Mail")},
    };
    for (const auto& [kind, tabs] : cases) {
        SCOPED_TRACE(toUtf8(hostName(kind)));
        Host h = start(kind, Value{u"16.0"});
        EXPECT_EQ(toUtf8(h.addin->GetCustomUI(mainRibbonId(kind))), toUtf8(head + tabs + tail));
        test::resetAddInTimer();
    }
    Host outlook = start(HostKind::Outlook, Value{u"16.0"});
    for (const char16_t* id :
         {u"Microsoft.Outlook.Contact", u"Microsoft.Outlook.Mail.Read",
          u"Microsoft.Outlook.Mail.Compose", u"microsoft.outlook.explorer", u""})
        EXPECT_EQ(outlook.addin->GetCustomUI(id), u"") << toUtf8(id);
}

// Markup characters in a translation cannot break the document, and what
// the parser gives back is the text itself: right-to-left text and line
// breaks included.
TEST(RibbonMarkup, TextsGoInEscaped) {
    const std::u16string xml =
        customUI(kExcelRibbon, 16, u"Microsoft.Excel.Workbook", u"Tom & Jerry's <Labels>",
                 u"Say \"cheese\" & print",
                 u"\u05D4\u05D3\u05E4\u05E1 \u05EA\u05D5\u05D5\u05D9\u05D5\u05EA\r\nline two");
    EXPECT_NE(xml.find(u"group id=\"TorvaGroup\" label=\"Tom &amp; Jerry&apos;s &lt;Labels&gt;\""),
              std::u16string::npos)
        << toUtf8(xml);
    EXPECT_NE(xml.find(u"label=\"Say &quot;cheese&quot; &amp; print\""), std::u16string::npos)
        << toUtf8(xml);
    EXPECT_NE(xml.find(u"supertip=\"\u05D4\u05D3\u05E4\u05E1 "
                       u"\u05EA\u05D5\u05D5\u05D9\u05D5\u05EA&#13;&#10;line two\""),
              std::u16string::npos)
        << toUtf8(xml);

    using namespace std::string_view_literals;
    const struct {
        std::u16string_view text, escaped;
    } cases[] = {
        {u"a\tb", u"a&#9;b"},
        {u"bell\a, nul\0!"sv, u"bell, nul!"},  // not allowed in XML, even as references
        {u"\uFFFEx\uFFFF", u"x"},
        {u"&amp;", u"&amp;amp;"},
        {u"\u00C4rger \u2013 \u00DF", u"\u00C4rger \u2013 \u00DF"},
    };
    for (const auto& c : cases) EXPECT_EQ(xmlEscaped(c.text), c.escaped) << toUtf8(c.text);
}

// The button's press is the toolbar button's: the same launch, or the same
// notice. The ribbon object lives until disconnection.
TEST_F(Ribbon, CallbacksPressTheButtonAndKeepTheRibbon) {
    auto& rec = platform::posix::recorder();
    Host word = start(HostKind::Word, Value{u"16.0"});
    word.addin->onAction(nullptr);
    ASSERT_EQ(rec.shellCalls.size(), 1u);
    const auto work = folders_->root / "work";
    const std::string handoff = test::readFile(work / rec.shellCalls[0].parameters);
    EXPECT_NE(handoff.find("RUNMODE=2"), std::string::npos) << handoff;

    Host access = start(HostKind::Access, Value{u"16.0"});
    access.addin->onAction(nullptr);
    ASSERT_EQ(rec.shellCalls.size(), 2u);
    EXPECT_NE(
        test::readFile(work / rec.shellCalls[1].parameters).find("DBSQL=SELECT * FROM [Customers]"),
        std::string::npos);

    // Access shows the button before a database is open: a press asks for one.
    Host empty = start(HostKind::Access, Value{u"16.0"}, false);
    empty.addin->onAction(nullptr);
    EXPECT_EQ(rec.shellCalls.size(), 2u);
    ASSERT_EQ(rec.messageBoxes.size(), 1u);
    EXPECT_EQ(rec.messageBoxes[0].text, u"Open a database first.");
    rec.messageBoxes.clear();

    // Plakora missing: the same notice as the toolbar button gives.
    std::filesystem::remove(folders_->root / "addin" / "plakora.exe");
    word.addin->onAction(nullptr);
    ASSERT_EQ(rec.messageBoxes.size(), 1u);
    EXPECT_NE(rec.messageBoxes[0].text.find(u"No plakora.exe beside"), std::u16string::npos);

    auto ribbonUI = std::make_shared<Template>();  // any object stands for IRibbonUI
    word.addin->onLoad(ribbonUI);
    EXPECT_TRUE(word.addin->ribbonUI()->sameObject(*ribbonUI));
    word.addin->AddinInstance_OnDisconnection(1);
    EXPECT_FALSE(word.addin->ribbonUI());
    EXPECT_EQ(ribbonUI.use_count(), 1);
}
