// The connect classes driven as the hosts drive them, on the in-memory
// Office model: what ends up on the toolbars, in the log and in the shell.
#include "test_connect_support.h"

using namespace torva;
using namespace torva::model;
using namespace torva::test;

namespace {

// Word with no normal template to mark saved.
class WordWithoutTemplate : public Object {
  public:
    WordWithoutTemplate() : Object(u"Application"), bars_(makeHostCommandBars(u"Word")) {
        implements(applicationIid(HostKind::Word));
        property(u"CommandBars", [this](const Params&) { return Value{bars_}; });
        property(u"NormalTemplate", [](const Params&) { return Value{ObjectRef()}; });
    }

  private:
    ObjectRef bars_;
};

// Command bars whose Add hands back Nothing instead of a new toolbar.
class BarsThatAddNothing : public Object {
  public:
    explicit BarsThatAddNothing(ObjectRef real) : Object(u"CommandBars"), real_(std::move(real)) {
        method(u"Item", {u"Index"}, [this](const Params& p) {
            return real_->get(u"Item", {automation::Arg(param(p, 0))});
        });
        method(u"Add", {u"Name", u"Position", u"MenuBar", u"Temporary"},
               [](const Params&) { return Value{ObjectRef()}; });
        enumerableAs([this] { return real_->items(); });
    }

  private:
    ObjectRef real_;
};

// Access with a database open, nothing selected in it.
const AccessSetup kWithDatabase{u"C:\\shop.accdb", std::nullopt, kNothingSelected, u""};

class Connect : public test::HostTest {
  protected:
    // Creates the connect object and remembers how much of the log was
    // written before (a repeated string-table load in one process logs).
    std::shared_ptr<ConnectClass> create(HostKind kind) {
        auto object = test::makeConnect(kind);
        folders_->markLog();
        return object;
    }
    // The host with its start-up bars (Access with a database open),
    // connected as Office connects.
    std::shared_ptr<Application> connect(ConnectClass& addin, HostKind kind,
                                         const HostOptions& options = {}) {
        auto app = makeHost(kind, options, kWithDatabase);
        addin.AddinInstance_OnConnection(app, 1, addIn_ = test::addInOf(kind));
        return app;
    }
    static std::vector<std::shared_ptr<CommandBarControl>> entries(const Application& app,
                                                                   const std::u16string& caption) {
        return toolsOf(*barsOf(app), mainMenuBarName(hostName(app.host())))
            ->controls()
            ->withCaption(caption);
    }

    std::shared_ptr<COMAddIn> addIn_;
};

}  // namespace

TEST_F(Connect, CreationSetsTheWorkingFolderThenLoadsTheStrings) {
    WorkingFolder.clear();
    auto addin = create(HostKind::Excel);
    EXPECT_EQ(WorkingFolder, fromUtf8((folders_->root / "work").string()));
    EXPECT_EQ(GetString(u"0900"), u"Plakora");

    // A second object takes the folder anew before its load, which fails at
    // its first entry and says so in the new folder's log.
    std::filesystem::create_directories(folders_->root / "other");
    const std::u16string other = fromUtf8((folders_->root / "other").string());
    platform::posix::recorder().tempFolder = other;
    auto second = create(HostKind::Word);
    EXPECT_EQ(WorkingFolder, other);
    const std::string log = readFile(folders_->root / "other" / "torva.log");
    EXPECT_NE(log.find(" ### Could not read Stringtable: " + toUtf8(other) + "\\rad"),
              std::string::npos)
        << log;
}

TEST_F(Connect, RepeatedInstallationLeavesOneToolbarButtonAndEntry) {
    auto addin = create(HostKind::Excel);
    auto app = connect(*addin, HostKind::Excel);
    EXPECT_FALSE(addin->commandbar()) << "connection alone installs nothing";
    addin->AddinInstance_OnAddInsUpdate();
    ObjectRef bar = addin->commandbar(), button = addin->commandbarbutton();
    ObjectRef entry = addin->menuButton();
    ASSERT_TRUE(bar && button && entry);
    addin->AddinInstance_OnStartupComplete();
    addin->AddinInstance_OnAddInsUpdate();

    EXPECT_TRUE(addin->commandbar()->sameObject(*bar));
    EXPECT_TRUE(addin->commandbarbutton()->sameObject(*button));
    EXPECT_FALSE(addin->menuButton()->sameObject(*entry));
    EXPECT_EQ(toolbarCount(*app), 1u);
    EXPECT_EQ(std::dynamic_pointer_cast<CommandBar>(bar)->controls()->list().size(), 1u);
    ASSERT_EQ(entries(*app, GetString(u"0922")).size(), 1u);
    EXPECT_TRUE(entries(*app, GetString(u"0922"))[0]->sameObject(*addin->menuButton()));
    EXPECT_TRUE(folders_->newLogLines().empty());
}

// Each host with its own documented values: the captions by string ID (every
// text of the test table differs), the bar that holds Tools, the entry's
// keyword and OnAction, the prefix of a failed connection. The toolbar is a
// temporary one docked at the top; button and entry are temporary icon-and-
// caption buttons with the 16x16 face.
TEST_F(Connect, EachHostInstallsAndLogsWithItsOwnValues) {
    const struct {
        HostKind kind;
        std::u16string caption, tooltip, entry, menuBar, keyword, progId;
        std::string logPrefix;
    } hosts[] = {
        {HostKind::Excel, u"Labels from Excel", u"Excel tip", u"Plakora (Excel)...",
         u"Worksheet Menu Bar", u"EXCEL", u"TorvaAddIn.TorvaExcelConnect",
         "Excel OnConnection_ERROR: "},
        {HostKind::Word, u"Labels from Word", u"Word tip", u"Plakora (Word)...", u"Menu Bar",
         u"WORD", u"TorvaAddIn.TorvaWordConnect", "Word OnConnection_ERROR: "},
        {HostKind::Access, u"Labels from Access", u"Access tip", u"Plakora (Access)...",
         u"Menu Bar", u"ACCESS", u"TorvaAddIn.TorvaAccessConnect", "Access OnConnection_ERROR: "},
        {HostKind::Outlook, u"Labels from Outlook", u"Outlook tip", u"Plakora (Outlook)...",
         u"Menu Bar", u"OUTLOOK", u"TorvaAddIn.TorvaOutlookConnect",
         "Outlook OnConnection_ERROR: "},
    };
    addIn_ = std::make_shared<COMAddIn>(u"TorvaAddIn.Test", u"d");
    for (const auto& h : hosts) {
        SCOPED_TRACE(toUtf8(hostName(h.kind)));
        // A declining Application and another host's are refused alike: one
        // entry with the host's prefix, no field set, nothing to the host.
        for (const auto& wrong : {makeApplication(h.kind, nullptr, {.wrongApplication = true}),
                                  makeApplication(hosts[(&h - hosts + 1) % 4].kind, nullptr)}) {
            auto refused = create(h.kind);
            EXPECT_NO_THROW(refused->AddinInstance_OnConnection(wrong, 0, addIn_));
            EXPECT_FALSE(refused->hostInstance() || refused->addInInst());
            const auto log = folders_->newLogLines();
            ASSERT_EQ(log.size(), 1u);
            EXPECT_EQ(log[0].substr(19, 5 + h.logPrefix.size()), " ### " + h.logPrefix) << log[0];
        }

        auto addin = create(h.kind);
        auto app = connect(*addin, h.kind);
        addin->AddinInstance_OnStartupComplete();
        platform::posix::fireTimers();  // Access installs at the tick
        auto bar = std::dynamic_pointer_cast<CommandBar>(addin->commandbar());
        ASSERT_TRUE(bar);
        EXPECT_EQ(bar->name(), u"Plakora");
        EXPECT_EQ(bar->position(), 1);
        EXPECT_EQ(bar->barType(), 0) << "a toolbar, not a menu bar";
        EXPECT_TRUE(bar->temporary());
        EXPECT_TRUE(bar->visible());

        auto button = std::dynamic_pointer_cast<CommandBarButton>(addin->commandbarbutton());
        auto tools = toolsOf(*barsOf(*app), h.menuBar);
        ASSERT_TRUE(button && tools);
        ASSERT_EQ(tools->controls()->withCaption(h.entry).size(), 1u);
        auto entry =
            std::dynamic_pointer_cast<CommandBarButton>(tools->controls()->withCaption(h.entry)[0]);
        ASSERT_TRUE(entry);
        EXPECT_EQ(button->caption(), h.caption);
        EXPECT_EQ(button->tooltipText(), h.tooltip);
        EXPECT_EQ(entry->parameter(), h.keyword);
        EXPECT_EQ(entry->onAction(), u"!<" + h.progId + u">");
        EXPECT_EQ(entry->tag(), u"ZEBRO");
        for (const auto& control : {button, entry}) {
            EXPECT_EQ(control->controlType(), 1);
            EXPECT_EQ(control->style(), 3);
            EXPECT_TRUE(control->temporary());
            ASSERT_TRUE(control->face());
            EXPECT_EQ(control->face()->width, 16);
        }
    }
}

// Word: the small icon goes over the clipboard; a later update shows what
// the user hid, marks the normal template saved and replaces the entry, so
// that clicks reach the latest entry once and the replaced one no longer;
// the buttons of a destroyed object reach nobody.
TEST_F(Connect, WordInstallsShowsAgainAndHearsOnlyTheLatestEntry) {
    auto addin = create(HostKind::Word);
    auto app = connect(*addin, HostKind::Word);
    addin->AddinInstance_OnStartupComplete();
    const auto& clip = platform::posix::recorder().clipboard;
    ASSERT_TRUE(clip);
    EXPECT_EQ((std::pair{clip->width, clip->height}), (std::pair{16, 16}));
    auto bar = std::dynamic_pointer_cast<CommandBar>(addin->commandbar());
    auto button = std::dynamic_pointer_cast<CommandBarButton>(addin->commandbarbutton());
    auto entry = std::dynamic_pointer_cast<CommandBarButton>(addin->menuButton());
    ASSERT_TRUE(bar && button && entry);
    EXPECT_TRUE(button->hasFace());

    bar->setVisible(false);
    button->setVisible(false);
    app->normalTemplate()->saved = false;
    addin->AddinInstance_OnAddInsUpdate();
    EXPECT_TRUE(bar->visible());
    EXPECT_TRUE(button->visible());
    EXPECT_TRUE(app->normalTemplate()->saved) << "Word's Normal template left unsaved";
    EXPECT_EQ(entries(*app, GetString(u"0912")).size(), 1u);
    EXPECT_EQ(entry->subscriberCount(kIidCommandBarButtonEvents), 0u);
    std::dynamic_pointer_cast<CommandBarButton>(addin->menuButton())->click();
    button->click();
    // Word hands over no data from either: run mode 2, three empty values.
    const auto& launches = platform::posix::recorder().shellCalls;
    ASSERT_EQ(launches.size(), 2u);
    for (const auto& launch : launches)
        EXPECT_EQ(readFile(folders_->root / "work" / launch.parameters),
                  "[PLAKORA]\r\nRUNMODE=2\r\nDBFILE=\r\nDBCONNECT=\r\nDBSQL=\r\n");
    addin.reset();
    button->click();
    EXPECT_EQ(launches.size(), 2u);
}

TEST_F(Connect, OutlookRemovesAtShutdownAndAgainAtDisconnection) {
    auto addin = create(HostKind::Outlook);
    auto app = connect(*addin, HostKind::Outlook);
    addin->AddinInstance_OnStartupComplete();
    auto bars = barsOf(*app);
    ASSERT_TRUE(bars->find(GetString(u"0900")));
    ASSERT_EQ(entries(*app, GetString(u"0942")).size(), 1u);
    auto button = std::dynamic_pointer_cast<CommandBarButton>(addin->commandbarbutton());

    addin->AddinInstance_OnBeginShutdown();
    EXPECT_FALSE(bars->find(GetString(u"0900")));
    EXPECT_TRUE(button->deleted());
    EXPECT_TRUE(entries(*app, GetString(u"0942")).empty());
    EXPECT_NO_THROW(addin->AddinInstance_OnDisconnection(0));
    EXPECT_TRUE(addin->commandbar()) << "removal clears no field";
    EXPECT_TRUE(folders_->newLogLines().empty());

    // Excel leaves its toolbar at shutdown; disconnection takes it away.
    auto excel = create(HostKind::Excel);
    auto excelApp = connect(*excel, HostKind::Excel);
    excel->AddinInstance_OnStartupComplete();
    excel->AddinInstance_OnBeginShutdown();
    EXPECT_TRUE(barsOf(*excelApp)->find(GetString(u"0900")));
    excel->AddinInstance_OnDisconnection(0);
    EXPECT_FALSE(barsOf(*excelApp)->find(GetString(u"0900")));
    EXPECT_TRUE(entries(*excelApp, GetString(u"0922")).empty());
}

TEST_F(Connect, NothingFromOfficeTakesTheWayOutOfWhereItHappens) {
    const std::string notSet = "Object variable or With block variable not set";
    const struct {
        const char* what;
        HostKind kind;
        ObjectRef app;
        bool failsToHost;    // error 91 is the start-up call's result
        std::string logged;  // the one log entry, if any
        bool menuEntryMade;  // the steps before the failure ran
    } cases[] = {
        {"Excel without CommandBars", HostKind::Excel, makeApplication(HostKind::Excel, nullptr),
         true, "", false},
        // Started by another program: it waits for its first window.
        {"Outlook without an explorer", HostKind::Outlook,
         makeOutlookApplication(makeHostCommandBars(u"Outlook"), {.explorer = false}, {}), false,
         "", false},
        {"Access without CommandBars", HostKind::Access,
         makeAccessApplication(nullptr, {}, kWithDatabase), false,
         "Could not add Commandbars to Access: " + notSet, false},
        {"Word without NormalTemplate", HostKind::Word, std::make_shared<WordWithoutTemplate>(),
         true, "", true},
        {"Excel whose CommandBars.Add gives Nothing", HostKind::Excel,
         makeApplication(HostKind::Excel,
                         std::make_shared<BarsThatAddNothing>(makeHostCommandBars(u"Excel"))),
         false, "Could not create Commandbar", true},
    };
    addIn_ = std::make_shared<COMAddIn>(u"TorvaAddIn.Test", u"d");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto addin = create(c.kind);
        addin->AddinInstance_OnConnection(c.app, 1, addIn_);
        folders_->markLog();
        int32_t number = 0;
        try {
            addin->AddinInstance_OnStartupComplete();
            platform::posix::fireTimers();  // Access installs at the tick
        } catch (const Error& e) {
            number = e.number();
            EXPECT_EQ(toUtf8(e.description()), notSet);
        }
        EXPECT_EQ(number, c.failsToHost ? 91 : 0);
        EXPECT_EQ(addInTimerId, 0u);
        EXPECT_EQ(static_cast<bool>(addin->menuButton()), c.menuEntryMade);
        EXPECT_NO_THROW(addin->AddinInstance_OnBeginShutdown());
        EXPECT_NO_THROW(addin->AddinInstance_OnDisconnection(0));
        const auto log = folders_->newLogLines();
        ASSERT_EQ(log.size(), c.logged.empty() ? 0u : 1u);
        if (!c.logged.empty()) {
            EXPECT_NE(log[0].find(c.logged), std::string::npos) << log[0];
        }
    }
}

// A failed press ends in one notice and never back in the host: Plakora
// missing, over the host's main window as that host gives it (Excel's Hwnd,
// Word's ActiveWindow.Hwnd, Access's hWndAccessApp); whatever else fails, in
// the notice 2304 with the failure's description and a log entry,
// task-modal without a host window to own it.
TEST_F(Connect, AFailedPressEndsInOneNoticeOverTheHostsWindow) {
    std::filesystem::remove(folders_->root / "addin" / "plakora.exe");
    const std::u16string missing =
        u"No plakora.exe beside " + fromUtf8((folders_->root / "addin").string());
    ExcelSetup block;
    block.selection = u"A1:B2";
    const AccessSetup table{u"C:\\shop.accdb", std::nullopt, kAcTable, u"Orders"};
    const struct {
        HostKind kind;
        intptr_t window;
        bool declining;
        std::u16string notice;  // for a declining host, how it begins
        uint32_t style;
        std::string logged;
    } cases[] = {
        {HostKind::Excel, 0x1E1, false, missing, 64u, " ### plakora.exe not found: "},
        {HostKind::Word, 0x3D3, false, missing, 64u, " ### plakora.exe not found: "},
        {HostKind::Access, 0xACC, false, missing, 64u, " ### plakora.exe not found: "},
        {HostKind::Access, 0, true, u"Failed: ", 64u | 0x2000u, " ### Access action failed: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(hostName(c.kind)));
        platform::posix::recorder().messageBoxes.clear();
        const auto app = makeHost(c.kind, {.wrongApplication = c.declining, .mainWindow = c.window},
                                  table, block);
        auto addin = create(c.kind);
        addin->AddinInstance_OnConnection(app, 1, test::addInOf(c.kind));
        folders_->markLog();
        EXPECT_NO_THROW(c.declining ? addin->myMenuButton_Click()
                                    : addin->myCommandbarbutton_Click());
        EXPECT_GT(
            expectOneNotice(c.notice, u"Plakora notice", c.window, c.style, !c.declining).size(),
            8u);
        const auto log = folders_->newLogLines();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_NE(log[0].find(c.logged), std::string::npos) << log[0];
    }
}
