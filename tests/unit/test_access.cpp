// Access: the start-up timer that waits for an open database (with the
// platform's timer recorded), and the action that hands the current table or
// query to the label application.
#include "test_connect_support.h"

using namespace torva;
using namespace torva::model;
using platform::posix::fireTimers;
using platform::posix::recorder;
using test::readFile;

namespace {

constexpr char16_t kShop[] = u"C:\\data\\shop.accdb";
// Access's main window, as hWndAccessApp gives it.
constexpr intptr_t kAccessWindow = 0x1A2B;

class AccessTest : public test::HostTest {
  protected:
    // Access on a clock the test moves, its main window kAccessWindow; with
    // kShop open and the given object current, or (empty) nothing open.
    std::shared_ptr<AccessApplication> access(int32_t type = kNothingSelected,
                                              std::u16string name = u"", bool empty = false,
                                              HostOptions options = {}) {
        AccessSetup setup;
        if (!empty) setup.database = kShop;
        setup.currentObjectType = type;
        setup.currentObjectName = std::move(name);
        options.mainWindow = kAccessWindow;
        return makeAccessApplication(makeHostCommandBars(u"Access"), options, setup,
                                     [this] { return nowMs_; });
    }
    std::shared_ptr<TorvaAccessConnect> connected(const std::shared_ptr<AccessApplication>& app) {
        auto addin = std::make_shared<TorvaAccessConnect>();
        addin->AddinInstance_OnConnection(app, 1, test::addInOf(HostKind::Access));
        folders_->markLog();
        return addin;
    }
    static std::vector<std::shared_ptr<CommandBarControl>> menuEntries(const Application& app) {
        return test::toolsOf(*test::barsOf(app), u"Menu Bar")
            ->controls()
            ->withCaption(GetString(u"0932"));
    }
    // The hand-off file of the n-th launch, as bytes.
    std::string handOff(size_t n) const {
        return readFile(folders_->root / "work" / recorder().shellCalls.at(n).parameters);
    }
    static std::string expectedHandOff(const std::string& connect, const std::string& sql) {
        return "[PLAKORA]\r\nRUNMODE=4\r\nDBFILE=C:\\data\\shop.accdb\r\nDBCONNECT=" + connect +
               "\r\nDBSQL=" + sql + "\r\n";
    }

    int64_t nowMs_ = 0;
};

// A second start runs no second timer and the later object waits; each tick
// asks only CurrentDb until the one that installs kills the timer and lets go.
TEST_F(AccessTest, OneTimerTicksUntilADatabaseIsOpenThenInstallsAndLetsGo) {
    auto app = access(kNothingSelected, u"", true);
    auto first = connected(app);
    auto addin = connected(app);
    first->AddinInstance_OnAddInsUpdate();
    addin->AddinInstance_OnStartupComplete();

    const auto& timers = recorder().timers;
    ASSERT_EQ(timers.size(), 1u) << "a second start must not start a second timer";
    EXPECT_EQ(timers[0].eventId, 23u);
    EXPECT_EQ(timers[0].intervalMs, 50u);
    EXPECT_EQ(addInTimerId, timers[0].id) << "the id the system returned is the one kept";
    EXPECT_EQ(pendingConnectObject, addin) << "the waiting reference is replaced";
    const uintptr_t id = addInTimerId;
    const long callsBefore = counters().calls;
    for (int tick = 1; tick <= 5; ++tick) ASSERT_EQ(fireTimers(), 1);
    EXPECT_EQ(app->currentDbCalls(), 5);
    EXPECT_EQ(counters().calls - callsBefore, 5) << "one automation call per tick";
    EXPECT_TRUE(recorder().killedTimers.empty());
    EXPECT_FALSE(first->commandbar());
    EXPECT_FALSE(addin->commandbar()) << "nothing installs before a database is open";

    app->openDatabase(kShop);
    ASSERT_EQ(fireTimers(), 1);
    EXPECT_EQ(recorder().killedTimers, std::vector<uintptr_t>{id});
    EXPECT_TRUE(recorder().timers[0].killed);
    EXPECT_EQ(addInTimerId, 0u);
    EXPECT_EQ(pendingConnectObject, nullptr);
    EXPECT_FALSE(first->commandbar());
    ASSERT_TRUE(addin->commandbar());
    ASSERT_TRUE(addin->commandbarbutton());
    EXPECT_EQ(menuEntries(*app).size(), 1u);
    EXPECT_EQ(fireTimers(), 0) << "no timer is left running";
    EXPECT_TRUE(folders_->newLogLines().empty());
}

// A refused timer leaves id 0 and the next start tries again; a later
// update installs again, reusing toolbar and button.
TEST_F(AccessTest, RefusedTimerIsTriedAgainAndLaterAddInsUpdateReusesToolbarAndButton) {
    auto app = access();
    auto addin = connected(app);
    recorder().failSetTimer = true;
    addin->AddinInstance_OnAddInsUpdate();
    EXPECT_EQ(addInTimerId, 0u);
    EXPECT_TRUE(recorder().timers.empty());
    EXPECT_EQ(fireTimers(), 0);
    EXPECT_FALSE(addin->commandbar());
    EXPECT_TRUE(folders_->newLogLines().empty()) << "a refused timer is not logged";

    recorder().failSetTimer = false;
    addin->AddinInstance_OnStartupComplete();
    ASSERT_EQ(recorder().timers.size(), 1u);
    EXPECT_EQ(addInTimerId, recorder().timers[0].id);
    fireTimers();
    const auto bar = addin->commandbar();
    const auto button = addin->commandbarbutton();
    const auto entry = addin->menuButton();
    ASSERT_TRUE(bar && button && entry);

    addin->AddinInstance_OnAddInsUpdate();
    EXPECT_EQ(recorder().timers.size(), 2u) << "the cycle starts again";
    EXPECT_EQ(addin->menuButton(), entry) << "nothing before the tick";
    fireTimers();
    EXPECT_EQ(addInTimerId, 0u);
    EXPECT_EQ(addin->commandbar(), bar);
    EXPECT_EQ(addin->commandbarbutton(), button);
    EXPECT_NE(addin->menuButton(), entry) << "the menu entry is replaced";
    EXPECT_EQ(menuEntries(*app).size(), 1u);
    EXPECT_EQ(test::toolbarCount(*app), 1u);
}

TEST_F(AccessTest, WaitingObjectOutlivesTheHostsReferenceAndDisconnection) {
    auto app = access(kNothingSelected, u"", true);
    std::weak_ptr<TorvaAccessConnect> watch;
    {
        auto addin = connected(app);
        watch = addin;
        addin->AddinInstance_OnStartupComplete();
        addin->AddinInstance_OnDisconnection(0);
    }
    ASSERT_FALSE(watch.expired()) << "the waiting reference keeps the object";
    fireTimers();
    app->openDatabase(kShop);
    fireTimers();
    EXPECT_EQ(menuEntries(*app).size(), 1u) << "installation still takes place";
    EXPECT_TRUE(watch.expired()) << "after installing the timer lets the object go";
}

// A tick whose installation fails ends the wait with one log entry, whether
// Access's menu bar is gone or there is no Access to ask after a failed
// connection (every tick would fail again).
TEST_F(AccessTest, AFailingTickEndsTheWaitWithOneLogEntry) {
    for (const bool connectionFailed : {false, true}) {
        SCOPED_TRACE(connectionFailed ? "failed connection" : "no menu bar");
        folders_.reset();
        folders_.emplace();
        auto app =
            access(kNothingSelected, u"", connectionFailed, {.wrongApplication = connectionFailed});
        if (!connectionFailed) test::barsOf(*app)->find(u"Menu Bar")->call(u"Delete");
        std::weak_ptr<TorvaAccessConnect> watch;
        {
            auto addin = connected(app);
            watch = addin;
            addin->AddinInstance_OnStartupComplete();
        }
        if (connectionFailed) {
            ASSERT_NE(folders_->logLines().back().find("Access OnConnection_ERROR: "),
                      std::string::npos);
        }
        const uintptr_t id = addInTimerId;
        ASSERT_NE(id, 0u);

        EXPECT_NO_THROW(EXPECT_EQ(fireTimers(), 1));
        EXPECT_EQ(recorder().killedTimers, std::vector<uintptr_t>{id});
        EXPECT_EQ(addInTimerId, 0u);
        EXPECT_FALSE(pendingConnectObject);
        EXPECT_TRUE(watch.expired()) << "the waiting reference was dropped";
        EXPECT_EQ(fireTimers(), 0);
        const auto log = folders_->newLogLines();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_NE(log[0].find(connectionFailed ? "Could not add Commandbars to Access: Object "
                                                 "variable or With block variable not set"
                                               : "Could not add Commandbars to Access: "),
                  std::string::npos)
            << log[0];
    }
}

// Tables and queries go to the label application with run mode 4, a name
// with brackets unchanged; forms, reports, macros, modules, nothing selected
// (True and "", as Access opens a database) or no database get their notice
// over Access's window and no launch. Neither slip is a failure: nothing for
// the log.
TEST_F(AccessTest, TablesAndQueriesLaunchWithRunModeFourOtherObjectsGetTheirNotice) {
    auto app = access();
    auto addin = connected(app);
    addin->AddinInstance_OnStartupComplete();
    fireTimers();  // installs
    const auto button = std::dynamic_pointer_cast<CommandBarButton>(addin->commandbarbutton());
    const auto entry = std::dynamic_pointer_cast<CommandBarButton>(addin->menuButton());
    ASSERT_TRUE(button && entry);
    button->click();
    entry->click();
    for (int32_t type : {kAcForm, kAcReport, kAcMacro, kAcModule, kNothingSelected}) {
        app->setCurrentObject(type, u"Customers");
        button->click();
        entry->click();
    }
    app->setCurrentObject(kAcTable, u"Orders");
    button->click();
    app->setCurrentObject(kAcQuery, u"Open orders");
    entry->click();
    app->setCurrentObject(kAcQuery, u"Sales]2024 [Q1]");
    button->click();
    ASSERT_EQ(recorder().shellCalls.size(), 3u);
    EXPECT_EQ(handOff(0), expectedHandOff("TABLE Orders", "SELECT * FROM [Orders]"));
    EXPECT_EQ(handOff(1), expectedHandOff("QUERY Open orders", "SELECT * FROM [Open orders]"));
    EXPECT_EQ(handOff(2),
              expectedHandOff("QUERY Sales]2024 [Q1]", "SELECT * FROM [Sales]2024 [Q1]]"));
    app->closeDatabase();
    EXPECT_NO_THROW(addin->myCommandbarbutton_Click());
    EXPECT_EQ(recorder().shellCalls.size(), 3u);
    const auto& boxes = recorder().messageBoxes;
    ASSERT_EQ(boxes.size(), 13u);
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].text,
                  i < 12 ? u"Pick a table or a query first." : u"Open a database first.");
        EXPECT_EQ(boxes[i].caption, u"Plakora notice");
        EXPECT_EQ(boxes[i].style, 64u);
        EXPECT_EQ(boxes[i].owner, kAccessWindow);  // hWndAccessApp's window
    }
    EXPECT_TRUE(folders_->newLogLines().empty());
}

}  // namespace
