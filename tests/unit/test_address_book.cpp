// The address-book dialog against the in-memory Outlook: the list it offers,
// the enabled states, the load-time texts and fonts, and the exact bytes of
// the contact export.

#include <gtest/gtest.h>

#include <functional>

#include "addressbook/ContactExport.h"
#include "addressbook/posix/RecordedAddressBook.h"
#include "addressbook/frmSelAdrBook.h"
#include "host/frmPicStore.h"
#include "test_connect_support.h"

using namespace torva;
using namespace torva::model;
using torva::testing::exportFileBytes;

namespace {

// IDs 5112 and 5125 are left out on purpose: their header columns stay empty.
const char16_t* const kDialogStrings =
    u"0952 Übernehmen\r\n0953 OK tip\r\n0954 Verwerfen\r\n0955 Cancel tip\r\n"
    u"0956 Adressbücher:\r\n0958 Privat\r\n0959 Private tip\r\n"
    u"0960 Geschäftlich\r\n0961 Business tip\r\n0962 Ausgewählte Kontakte\r\n"
    u"1002 True\r\n1010 Tahoma\r\n1011 9\r\n1050 Arial\r\n1051 10.5\r\n"
    u"5100 Anrede\r\n5101 Vorname\r\n5102 Nachname\r\n5103 Geburtstag\r\n"
    u"5110 PLZ\r\n5111 Ort\r\n5113 Telefon\r\n5114 Mobil\r\n5115 E-Mail\r\n"
    u"5120 Firma\r\n5121 Abteilung\r\n5122 PLZ\r\n5123 Ort\r\n5124 Straße\r\n"
    u"5126 Fax\r\n5127 Mobil\r\n5128 E-Mail\r\n"
    u"0943 Adressbücher unlesbar: %1\r\n0944 %1 ist kein Kontakt\r\n"
    u"0945 Ein Eintrag ist kein Kontakt\r\n0946 Kontakt unlesbar: %1\r\n"
    u"0948 Outlook sagt: %1\r\n2300 Hinweis\r\n"
    u"0900 Plakora\r\n0940 Etiketten\r\n0942 Plakora (Outlook)...\r\n";

// A contact whose Title Outlook will not give (a protected or broken item).
class UnreadableContact : public model::Object {
  public:
    UnreadableContact() : Object(u"ContactItem") {
        implements(model::kIidContactItem);
        property(u"EntryID", [](const model::Params&) { return Value{std::u16string(u"E1")}; });
        property(u"Title", [](const model::Params&) -> Value {
            throw automation::Error(automation::kEFail, u"Der Vorgang ist fehlgeschlagen.");
        });
    }
};

FolderSetup folder(std::u16string name, int32_t type, std::vector<ItemSetup> items = {},
                   std::vector<FolderSetup> sub = {}) {
    return FolderSetup{std::move(name), type, std::move(items), std::move(sub)};
}

// clang-format off
const ItemSetup kAnna{ItemKind::Contact, {
    {u"Title", u"Dr."}, {u"FirstName", u"Anna"}, {u"LastName", u"Berg"},
    {u"CompanyName", u"Nordwerk GmbH"}, {u"Department", u"Einkauf"},
    {u"BusinessAddressPostalCode", u"12345"}, {u"BusinessAddressCity", u"Musterstadt"},
    {u"BusinessAddressStreet", u"Hauptstraße 1"}, {u"BusinessTelephoneNumber", u"030 1234"},
    {u"HomeAddressPostalCode", u"54321"}, {u"HomeAddressCity", u"Dorf"},
    {u"HomeAddressStreet", u"Weg 2\r\nHinterhaus"}, {u"HomeTelephoneNumber", u"0\t1"},
    {u"MobileTelephoneNumber", u"0171"}, {u"Email1Address", u"anna@example.org"}},
    oleDateOf(1965, 3, 7), {}};
// clang-format on
const ItemSetup kBert{
    ItemKind::Contact, {{u"FirstName", u"Bert"}, {u"LastName", u"Ost"}}, oleDateOf(1980, 1, 5), {}};
const ItemSetup kCarl{
    ItemKind::Contact, {{u"FirstName", u"Carl"}}, std::nullopt, {}};  // no birthday

// A distribution list: members by their item's index in the folder, or a
// one-off name and address.
ItemSetup list(std::u16string name, std::vector<MemberSetup> members) {
    return {ItemKind::DistributionList, {{u"DLName", std::move(name)}}, {}, std::move(members)};
}
MemberSetup memberContact(int k) { return {MemberSetup::Contact, k, {}, {}}; }
MemberSetup memberList(int k) { return {MemberSetup::List, k, {}, {}}; }
MemberSetup oneOff(std::u16string name, std::u16string address) {
    return {MemberSetup::OneOff, 0, std::move(name), std::move(address)};
}
const ItemSetup kMail{ItemKind::Mail, {{u"Subject", u"Hi"}}, std::nullopt, {}};

const std::u16string kBusinessHeader =
    u"Anrede\tVorname\tNachname\tGeburtstag\tFirma\tAbteilung\tPLZ\tOrt\tStraße\t\tFax\tMobil\tE-"
    u"Mail";
const std::u16string kPrivateHeader =
    u"Anrede\tVorname\tNachname\tGeburtstag\tPLZ\tOrt\t\tTelefon\tMobil\tE-Mail";

// The contacts above as the export writes them.
const std::u16string kAnnaBusiness =
    u"Dr.\tAnna\tBerg\t07.03.1965\tNordwerk GmbH\tEinkauf\t12345\tMusterstadt\t"
    u"Hauptstraße 1\t030 1234\t\t0171\tanna@example.org";
const std::u16string kBertBusiness = u"\tBert\tOst\t05.01.1980\t\t\t\t\t\t\t\t\t";
const std::u16string kAnnaPrivate =
    u"Dr.\tAnna\tBerg\t07.03.1965\t54321\tDorf\tWeg 2\r\nHinterhaus\t0\t1\t0171\t"
    u"anna@example.org";
const std::u16string kBertPrivate = u"\tBert\tOst\t05.01.1980\t\t\t\t\t\t";
const std::u16string kCarlPrivate = u"\tCarl\t\t01.01.4501\t\t\t\t\t\t";

class AddressBook : public torva::testing::SupportFolder {
  protected:
    void SetUp() override {
        SupportFolder::SetUp();
        torva::testing::writeStringFile(dir / "Torva.Sys", kDialogStrings);
        (void)LoadStringTable();  // the process may hold these entries already
        ASSERT_EQ(GetString(u"0962"), u"Ausgewählte Kontakte");
    }

    // Loads a dialog on an Outlook built from the setup and runs init, with
    // no log and no export left from before.
    bool open(const OutlookSetup& setup, bool withExplorer = true) {
        for (const auto& name : files())
            if (name.starts_with("rad") || name == "torva.log") std::filesystem::remove(dir / name);
        outlook = makeOutlookApplication(nullptr, {.explorer = withExplorer}, setup);
        auto view = std::make_unique<AddressBookState>();
        state = view.get();
        form = frmSelAdrBook::Load(std::move(view));
        form->myOutlook = outlook;
        return form->init();
    }
    std::vector<std::u16string> entries() const {
        std::vector<std::u16string> texts;
        for (const auto& e : state->entries) texts.push_back(e.text);
        return texts;
    }
    // Marks exactly these entries, picks the option and presses OK; the
    // file's bytes, or nullopt when OK left no file name.
    std::optional<std::string> pressOK(const std::vector<int>& marked, bool privateFields) {
        for (auto& e : state->entries) e.marked = false;
        for (int i : marked) state->entries.at(static_cast<size_t>(i)).marked = true;
        state->selectOption(privateFields ? Ctl::rbPrivate : Ctl::rbBusiness);
        form->cmdOK_Click();
        if (form->FileName.empty()) return std::nullopt;
        return read(lastFile());
    }
    // The one file the export wrote into the working folder.
    std::filesystem::path lastFile() const {
        for (const auto& name : files())
            if (name.starts_with("rad")) return dir / name;
        return {};
    }

    static OutlookSetup twoContactFoldersAndMail() {
        OutlookSetup s;
        s.stores = {{u"Persönliche Ordner",
                     {folder(u"Posteingang", model::kOlMailItem, {kMail}),
                      folder(u"Kontakte", model::kOlContactItem, {kAnna, kBert},
                             {folder(u"Verein", model::kOlContactItem, {kCarl})}),
                      folder(u"Kunden", model::kOlContactItem, {kCarl})}},
                    {u"Archiv", {folder(u"Alte Kontakte", model::kOlContactItem)}}};
        s.currentFolder = u"Posteingang";
        return s;
    }

    std::shared_ptr<OutlookApplication> outlook;
    std::unique_ptr<frmSelAdrBook> form;
    AddressBookState* state = nullptr;
};

}  // namespace

// The contact folders of the first store only, in order (no mail folder, no
// subfolder, nothing of the second store), the first marked; a selection
// entry only for a contacts folder (a subfolder too) with selected items. An
// empty list disables OK and the options but still opens; init fails without
// an explorer (the folders were listed before it was asked for) or a store.
TEST_F(AddressBook, OffersTheContactFoldersOfTheFirstStoreAndTheSelection) {
    const auto showing = [](std::u16string folder, std::vector<int> selection) {
        auto s = twoContactFoldersAndMail();
        s.currentFolder = std::move(folder);
        s.selection = std::move(selection);
        return s;
    };
    OutlookSetup empty;
    empty.stores = {{u"Leer", {folder(u"Posteingang", model::kOlMailItem)}}};
    const std::u16string selected = u"Ausgewählte Kontakte";
    const std::vector<std::u16string> both{u"Kontakte", u"Kunden"},
        all{u"Kontakte", u"Kunden", selected};
    const struct {
        const char* name;
        OutlookSetup setup;
        bool explorer, opens;
        std::vector<std::u16string> entries;
    } cases[] = {
        {"a mail folder shown", twoContactFoldersAndMail(), true, true, both},
        {"contacts selected", showing(u"Kontakte", {0, 1}), true, true, all},
        {"contacts, none selected", showing(u"Kontakte", {}), true, true, both},
        {"a mail selected", showing(u"Posteingang", {0}), true, true, both},
        {"contacts of a subfolder", showing(u"Kontakte/Verein", {0}), true, true, all},
        {"no contacts folder", empty, true, true, {}},
        {"no explorer", twoContactFoldersAndMail(), false, false, both},
        {"no store", OutlookSetup{}, true, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(open(c.setup, c.explorer), c.opens);
        EXPECT_EQ(entries(), c.entries);
        if (!c.opens) continue;
        for (size_t i = 0; i < c.entries.size(); ++i) {
            EXPECT_EQ(state->entries[i].data, c.entries[i] == selected ? -1 : 0);
            EXPECT_EQ(state->entries[i].marked, i == 0);
        }
        for (Ctl ctl : {Ctl::cmdOK, Ctl::rbBusiness, Ctl::rbPrivate})
            EXPECT_EQ(state->controls[ctl].enabled, !c.entries.empty());
        EXPECT_TRUE(state->controls[Ctl::cmdCancel].enabled);
        EXPECT_TRUE(form->FileName.empty());
        ASSERT_TRUE(form->myRootFolder());
        EXPECT_EQ(automation::asString(form->myRootFolder()->get(u"Name")), c.setup.stores[0].name);
    }
}

TEST_F(AddressBook, LoadLocalisesCaptionsTooltipsFontsAndDirection) {
    ASSERT_TRUE(open(twoContactFoldersAndMail()));
    auto& c = state->controls;
    // Every text differs from the stored caption; 0957 is missing, so the
    // label's tooltip is empty; the list has neither.
    const struct {
        Ctl ctl;
        std::u16string caption;
        std::optional<std::u16string> tooltip;
    } texts[] = {
        {Ctl::lblAdressbooks, u"Adressbücher:", u""},
        {Ctl::lbBooks, u"", std::nullopt},
        {Ctl::rbPrivate, u"Privat", u"Private tip"},
        {Ctl::rbBusiness, u"Geschäftlich", u"Business tip"},
        {Ctl::cmdOK, u"Übernehmen", u"OK tip"},
        {Ctl::cmdCancel, u"Verwerfen", u"Cancel tip"},
    };
    for (const auto& t : texts) {
        EXPECT_EQ(c[t.ctl].caption, t.caption) << toUtf8(t.caption);
        EXPECT_EQ(c[t.ctl].tooltip, t.tooltip) << toUtf8(t.caption);
    }
    EXPECT_TRUE(c[Ctl::lblAdressbooks].labelStyled);
    EXPECT_TRUE(c[Ctl::rbPrivate].alignedLeft);

    EXPECT_EQ(c[Ctl::lbBooks].fontName, u"Arial");
    EXPECT_DOUBLE_EQ(c[Ctl::lbBooks].fontSize, 10.5);
    EXPECT_EQ(c[Ctl::cmdOK].fontName, u"Tahoma");
    EXPECT_DOUBLE_EQ(c[Ctl::cmdOK].fontSize, 9.0);
    EXPECT_TRUE(c[Ctl::cmdOK].fontBold);  // buttons keep their bold
    EXPECT_FALSE(c[Ctl::rbBusiness].fontBold);
    EXPECT_FALSE(c[Ctl::lblAdressbooks].fontBold);
    EXPECT_EQ(c[Ctl::lblAdressbooks].fontChanges,
              (std::vector<std::string>{"name", "size", "bold"}));

    // 1002 is True in this table.
    EXPECT_TRUE(state->dialogRightToLeft);
    for (const auto& layout : kAddressBookLayout) EXPECT_TRUE(c[layout.id].rightToLeft);
    EXPECT_TRUE(state->optionSelected(Ctl::rbBusiness));
    EXPECT_FALSE(state->optionSelected(Ctl::rbPrivate));
}

// The dialog as it is stored: its title, client area and each control in
// twips from the client area's top left, with tab order and caption ID.
TEST(AddressBookTexts, StoredLayout) {
    EXPECT_EQ(kAddressBookTitle, u"Adressbuchauswahl");
    EXPECT_EQ((std::array{kAddressBookClientWidth, kAddressBookClientHeight}),
              (std::array{5745, 3795}));
    const struct {
        Ctl id;
        std::array<int, 5> leftTopWidthHeightTab;
        std::u16string_view tag;
    } stored[] = {
        {Ctl::lblAdressbooks, {360, 360, 1635, 255, 1}, u"0956"},
        {Ctl::lbBooks, {360, 720, 2655, 2205, 0}, u""},
        {Ctl::rbPrivate, {3180, 720, 2235, 315, 4}, u"0958"},
        {Ctl::rbBusiness, {3180, 1260, 2235, 315, 5}, u"0960"},
        {Ctl::cmdOK, {1455, 3180, 1335, 375, 2}, u"0952"},
        {Ctl::cmdCancel, {2955, 3180, 1335, 375, 3}, u"0954"},
    };
    ASSERT_EQ(kAddressBookLayout.size(), 6u);
    for (const auto& e : stored) {
        const ControlLayout& c = layoutOf(e.id);
        EXPECT_EQ((std::array{c.left, c.top, c.width, c.height, c.tabIndex}),
                  e.leftTopWidthHeightTab)
            << toUtf8(c.name);
        EXPECT_EQ(c.tag, e.tag) << toUtf8(c.name);
    }
}

TEST(AddressBookTexts, TruthValuesFontSizesAndDates) {
    for (const auto* yes : {u"True", u"tRUE", u"-1", u"2"}) EXPECT_TRUE(readTruthValue(yes));
    for (const auto* no : {u"FALSE", u"0"}) EXPECT_FALSE(readTruthValue(no));
    for (const auto* bad : {u"", u"Ja"}) EXPECT_THROW(readTruthValue(bad), Error);
    EXPECT_DOUBLE_EQ(readFontSize(u"8"), 8.0);
    EXPECT_DOUBLE_EQ(readFontSize(u"8.25"), 8.25);
    for (const auto* bad : {u"", u"groß"}) EXPECT_THROW(readFontSize(bad), Error);

    // No birthday is 1 January 4501; a time of day is dropped.
    const std::pair<double, std::array<int, 3>> days[] = {{oleDateOf(1980, 1, 5), {1980, 1, 5}},
                                                          {kOlNoDate, {4501, 1, 1}},
                                                          {2.75, {1900, 1, 1}},
                                                          {oleDateOf(2000, 2, 29), {2000, 2, 29}}};
    for (const auto& [date, ymd] : days) {
        const auto day = calendarDayOf(date);
        EXPECT_EQ((std::array{day.year, day.month, day.day}), ymd) << date;
    }
    EXPECT_EQ(calendarDayOf(-1.5).day, 29);  // before the epoch: 29 December 1899
}

// Values go in unchanged (line breaks and tabs too); a contact without a
// birthday gets 01.01.4501; the selection comes after the folders, even with
// contacts the folders already gave.
TEST_F(AddressBook, ExportWritesTheMarkedFoldersInListOrderThenTheSelection) {
    const struct {
        std::vector<int> marked;
        bool privateFields;
        std::vector<std::u16string> lines;
    } cases[] = {
        {{0}, false, {kBusinessHeader, kAnnaBusiness, kBertBusiness}},
        {{0, 1}, true, {kPrivateHeader, kAnnaPrivate, kBertPrivate, kCarlPrivate}},
        {{0, 1, 2}, true, {kPrivateHeader, kAnnaPrivate, kBertPrivate, kCarlPrivate, kBertPrivate}},
        {{}, false, {kBusinessHeader}},
    };
    auto setup = twoContactFoldersAndMail();
    setup.currentFolder = u"Kontakte";
    setup.selection = {1};
    for (const auto& c : cases) {
        ASSERT_TRUE(open(setup));
        EXPECT_EQ(pressOK(c.marked, c.privateFields), exportFileBytes(c.lines));
        EXPECT_EQ(form->FileName, path(lastFile().filename().string()));
        EXPECT_FALSE(state->visible);
        form->cmdCancel_Click();  // Cancel empties the name that an OK left
        EXPECT_TRUE(form->FileName.empty());
    }
}

// Each way the export fails: the notice in its own words once the dialog is
// hidden (task-modal here, outside a press), one log entry, no file left,
// and no file name for the host action.
TEST_F(AddressBook, EachFailedExportEndsInItsNoticeAndLeavesNoFile) {
    OutlookSetup mailSelected;
    mailSelected.stores = {{u"P", {folder(u"Kontakte", model::kOlContactItem, {kBert, kMail})}}};
    mailSelected.currentFolder = u"Kontakte";
    mailSelected.selection = {1};
    OutlookSetup plain;
    plain.stores = {{u"P", {folder(u"Kontakte", model::kOlContactItem, {kBert})}}};
    const struct {
        const char* name;
        const OutlookSetup& setup;
        int marked;
        std::function<void(OutlookApplication&)> spoil;
        std::u16string notice;
        std::string logLine;
    } cases[] = {
        {"nothing but a mail in the selection", mailSelected, 1, nullptr, u"Hi ist kein Kontakt",
         " ### Outlook export: an entry is not a contact: Hi: "},
        {"nothing but an item without a name", plain, 0,
         [](OutlookApplication& o) {
             o.nameSpace()->stores()->list[0]->folders()->list[0]->contents().clear();
             o.nameSpace()->stores()->list[0]->folders()->list[0]->contents().push_back(
                 std::make_shared<OtherItem>(ItemKind::Mail,
                                             std::map<std::u16string, std::u16string>{}));
         },
         u"Ein Eintrag ist kein Kontakt", " ### Outlook export: an entry is not a contact: "},
        {"an unreadable contact", plain, 0,
         [](OutlookApplication& o) {
             o.nameSpace()->stores()->list[0]->folders()->list[0]->contents().push_back(
                 std::make_shared<UnreadableContact>());
         },
         u"Kontakt unlesbar: Der Vorgang ist fehlgeschlagen.",
         " ### Outlook export: a contact could not be read: Der Vorgang ist fehlgeschlagen."},
        {"a vanished folder", plain, 0,
         [](OutlookApplication& o) { o.nameSpace()->stores()->list[0]->folders()->list.clear(); },
         u"Outlook sagt: ", " ### Outlook export: Outlook refused a call: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::posix::recorder().messageBoxes.clear();
        ASSERT_TRUE(open(c.setup));
        if (c.spoil) c.spoil(*outlook);
        EXPECT_EQ(pressOK({c.marked}, true), std::nullopt);
        EXPECT_TRUE(form->FileName.empty());
        EXPECT_FALSE(state->visible);
        test::expectOneNotice(c.notice, u"Hinweis", 0, 64u | 0x2000u, false);
        const std::string log = read(dir / "torva.log");
        EXPECT_NE(log.find(c.logLine), std::string::npos) << log;
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
        EXPECT_EQ(files(), (std::vector<std::string>{"Torva.Sys", "torva.log"}));
    }
}

namespace {

// The window Outlook's explorer gives through IOleWindow.
constexpr intptr_t kExplorerWindow = 0x5EED;

// Outlook's button through the connect class: the dialog, then the launch.
class OutlookAction : public AddressBook {
  protected:
    void SetUp() override {
        AddressBook::SetUp();
        write(dir / "plakora.exe", "MZ");
        shownAddressBooks().clear();
        addin = std::make_unique<TorvaOutlookConnect>();
        // Installation pastes the button faces from the recorded clipboard.
        torva::testing::useRecordedClipboard();
        auto setup = twoContactFoldersAndMail();
        setup.currentFolder = u"Kontakte";
        setup.selection = {0};
        outlook = makeOutlookApplication(nullptr, {.mainWindow = kExplorerWindow}, setup);
        addin->OutlookInstance(outlook);
    }
    void TearDown() override {
        scriptedAddressBookAnswer() = {};
        shownAddressBooks().clear();
        addin.reset();
        model::setClipboardSource({});
        AddressBook::TearDown();
    }
    static void answer(std::vector<int> marks, bool privateFields, bool ok) {
        scriptedAddressBookAnswer() = [=](AddressBookState& view, const std::function<void()>& onOK,
                                          const std::function<void()>& onCancel) {
            for (auto& e : view.entries) e.marked = false;
            for (int i : marks) view.entries.at(static_cast<size_t>(i)).marked = true;
            view.selectOption(privateFields ? Ctl::rbPrivate : Ctl::rbBusiness);
            (ok ? onOK : onCancel)();
        };
    }
    const std::vector<platform::posix::ShellCall>& launches() const {
        return platform::posix::recorder().shellCalls;
    }
    std::unique_ptr<TorvaOutlookConnect> addin;
};

}  // namespace

TEST_F(OutlookAction, OKLaunchesRunModeFiveOnTheExportFile) {
    answer({0, 2}, false, true);
    addin->myCommandbarbutton_Click();
    ASSERT_EQ(shownAddressBooks().size(), 1u);
    const auto& shown = shownAddressBooks()[0];
    EXPECT_EQ(shown.entries.size(), 3u);
    const auto icon = frmPicStore::Icon();
    EXPECT_EQ(shown.icon, std::vector<uint8_t>(icon.begin(), icon.end()));

    ASSERT_EQ(launches().size(), 1u);
    const std::string handoffName = launches()[0].parameters;
    const std::string handoff = read(dir / handoffName);
    // The export is the other temporary file in the working folder.
    std::string exportName;
    for (const auto& name : files())
        if (name.starts_with("rad") && name != handoffName) exportName = name;
    ASSERT_FALSE(exportName.empty());
    EXPECT_NE(handoff.find("RUNMODE=5\r\nDBFILE=" + dir.string() + "\\" + exportName +
                           "\r\nDBCONNECT=\r\nDBSQL=\r\n"),
              std::string::npos)
        << handoff;
    // Anna and Bert from the folder, Anna again from the selection.
    const std::string bytes = read(dir / exportName);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 4);
}

TEST_F(OutlookAction, CancelCloseAndFailedExportLaunchNothingAndASecondClickWorks) {
    answer({0}, false, false);
    addin->myMenuButton_Click();
    scriptedAddressBookAnswer() = {};  // closed by its close box
    addin->myCommandbarbutton_Click();
    EXPECT_TRUE(launches().empty());
    EXPECT_EQ(shownAddressBooks().size(), 2u);

    // A marked folder of nothing but a nameless mail fails the export.
    outlook->nameSpace()->stores()->list[0]->folders()->list[1]->contents().clear();
    outlook->nameSpace()->stores()->list[0]->folders()->list[1]->contents().push_back(
        std::make_shared<OtherItem>(ItemKind::Mail, std::map<std::u16string, std::u16string>{}));
    // Cancel and the close box are the user's own choice: no word.
    EXPECT_TRUE(platform::posix::recorder().messageBoxes.empty());
    answer({0}, true, true);
    addin->myMenuButton_Click();
    EXPECT_TRUE(launches().empty());
    // The dialog and the notice belong to the explorer's window.
    test::expectOneNotice(u"Ein Eintrag ist kein Kontakt", u"Hinweis", kExplorerWindow, 64u);
    for (const auto& shown : shownAddressBooks()) EXPECT_EQ(shown.owner, kExplorerWindow);

    answer({1}, true, true);  // the menu entry works like the button
    addin->myMenuButton_Click();
    EXPECT_EQ(launches().size(), 1u);
    EXPECT_EQ(shownAddressBooks().size(), 4u);
}

// Lists give their members: each contact once, however many lists (or the
// selection) name it, a one-off address as its name and e-mail address, a
// list inside a list followed once (one that holds itself ends). Other
// items are left out and counted in the log; the press still launches.
TEST_F(AddressBook, ListsGiveTheirMembersOnceAndOtherItemsAreLeftOut) {
    OutlookSetup setup;
    setup.stores = {
        {u"P",
         {folder(u"Kontakte", model::kOlContactItem,
                 {kAnna, kBert,
                  list(u"Team", {memberContact(0), memberContact(1),
                                 oneOff(u"Zoe Paul", u"zoe@example.org")}),
                  list(u"Alle", {memberList(2), memberList(3), memberContact(1)}), kMail})}}};
    setup.currentFolder = u"Kontakte";
    const std::u16string zoe = u"\t\tZoe Paul\t\t\t\t\t\t\t\t\t\tzoe@example.org";
    const std::u16string zoePrivate = u"\t\tZoe Paul\t\t\t\t\t\t\tzoe@example.org";
    const struct {
        const char* name;
        std::vector<int> selection;
        std::vector<int> marked;
        bool privateFields;
        std::vector<std::u16string> lines;
        int leftOut;
    } cases[] = {
        // clang-format off
        // The nested list first, then Anna selected herself: once each.
        {"selection", {3, 0}, {1}, false, {kBusinessHeader, kAnnaBusiness, kBertBusiness, zoe}, 0},
        {"selection, private", {3, 0}, {1}, true, {kPrivateHeader, kAnnaPrivate, kBertPrivate, zoePrivate}, 0},
        // The folder: its contacts, then what its lists add; the mail left out.
        {"folder", {}, {0}, false, {kBusinessHeader, kAnnaBusiness, kBertBusiness, zoe}, 1},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setup.selection = c.selection;
        ASSERT_TRUE(open(setup));
        const auto bytes = pressOK(c.marked, c.privateFields);
        EXPECT_EQ(bytes, exportFileBytes(c.lines));
        EXPECT_TRUE(platform::posix::recorder().messageBoxes.empty());
        const std::string log = read(dir / "torva.log");
        EXPECT_EQ(log.find(" (I) Outlook export: entries left out that are neither contacts nor "
                           "lists: 1\r\n") != std::string::npos,
                  c.leftOut == 1)
            << log;
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), c.leftOut) << log;
    }
}

// Every explorer window gets the toolbar and the Tools entry, each control
// with one Click subscription and a Tag of its window's own; a press runs
// once, with its window's selection, in its window. A window that opens
// later gets them; one that closes is let go; shutdown removes them all.
TEST_F(OutlookAction, EveryExplorerHasItsControlsAndAPressUsesItsOwnWindow) {
    constexpr intptr_t kSecondWindow = 0x7A11, kThirdWindow = 0x7B22;
    auto setup = twoContactFoldersAndMail();
    setup.currentFolder = u"Kontakte";
    setup.selection = {0};
    outlook = makeOutlookApplication(makeHostCommandBars(u"Outlook"),
                                     {.mainWindow = kExplorerWindow}, setup);
    auto second = outlook->openExplorer(makeHostCommandBars(u"Outlook"), {u"Kunden", {0}},
                                        kSecondWindow, false);
    addin->OutlookInstance(outlook);
    addin->AddinInstance_OnConnection(
        outlook, 1, std::make_shared<COMAddIn>(u"TorvaAddIn.TorvaOutlookConnect", u"d"));
    addin->AddinInstance_OnAddInsUpdate();
    addin->AddinInstance_OnStartupComplete();

    // The add-in's toolbar button and Tools entries of one window.
    const auto controlsOf = [](const OutlookExplorer& explorer) {
        auto bars = std::dynamic_pointer_cast<CommandBars>(explorer.commandBars());
        std::vector<std::shared_ptr<CommandBarButton>> buttons, entries;
        for (const auto& bar : bars->list())
            if (bar->name() == u"Plakora")
                for (const auto& c : bar->controls()->list())
                    buttons.push_back(std::dynamic_pointer_cast<CommandBarButton>(c));
        for (const auto& e :
             test::toolsOf(*bars, u"Menu Bar")->controls()->withCaption(u"Plakora (Outlook)..."))
            entries.push_back(std::dynamic_pointer_cast<CommandBarButton>(e));
        return std::pair{buttons, entries};
    };
    const struct {
        std::shared_ptr<OutlookExplorer> explorer;
        std::u16string buttonTag, entryTag;
    } windows[] = {{outlook->allExplorers()[0], u"ZEBRO.BUTTON", u"ZEBRO"},
                   {second, u"ZEBRO.BUTTON.2", u"ZEBRO.2"}};
    for (const auto& w : windows) {
        const auto [buttons, entries] = controlsOf(*w.explorer);
        ASSERT_EQ(buttons.size(), 1u);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(buttons[0]->tag(), w.buttonTag);
        EXPECT_EQ(entries[0]->tag(), w.entryTag);
        EXPECT_EQ(buttons[0]->subscriberCount(kIidCommandBarButtonEvents), 1u);
        EXPECT_EQ(entries[0]->subscriberCount(kIidCommandBarButtonEvents), 1u);
    }

    // The second window's button and entry: its selection (Carl of Kunden),
    // its window; one dialog and one launch a press.
    answer({2}, false, true);
    controlsOf(*second).first[0]->click();
    controlsOf(*second).second[0]->click();
    ASSERT_EQ(shownAddressBooks().size(), 2u);
    ASSERT_EQ(launches().size(), 2u);
    for (const auto& shown : shownAddressBooks()) EXPECT_EQ(shown.owner, kSecondWindow);
    size_t carlFiles = 0;
    for (const auto& name : files())
        if (name.starts_with("rad") &&
            read(dir / name) ==
                exportFileBytes({kBusinessHeader, u"\tCarl\t\t01.01.4501\t\t\t\t\t\t\t\t\t"}))
            ++carlFiles;
    EXPECT_EQ(carlFiles, 2u);

    // A window that opens later; the second one closing lets go of its controls.
    auto third = outlook->openExplorer(makeHostCommandBars(u"Outlook"), {u"Kontakte", {1}},
                                       kThirdWindow, true);
    EXPECT_EQ(controlsOf(*third).first.size(), 1u);
    EXPECT_EQ(controlsOf(*third).second.size(), 1u);
    EXPECT_EQ(addin->windowCount(), 3u);
    const auto closed = controlsOf(*second);
    outlook->closeExplorer(1);
    EXPECT_EQ(addin->windowCount(), 2u);
    EXPECT_EQ(closed.first[0]->subscriberCount(kIidCommandBarButtonEvents), 0u);
    EXPECT_EQ(closed.second[0]->subscriberCount(kIidCommandBarButtonEvents), 0u);
    EXPECT_EQ(second->subscriberCount(kIidExplorerEvents10), 0u);

    addin->AddinInstance_OnBeginShutdown();
    for (const auto& e : {outlook->allExplorers()[0], third}) {
        EXPECT_TRUE(controlsOf(*e).first.empty());
        EXPECT_TRUE(controlsOf(*e).second.empty());
    }
    // Nothing opens into a closing Outlook.
    auto late = outlook->openExplorer(makeHostCommandBars(u"Outlook"), {}, kThirdWindow, true);
    EXPECT_TRUE(controlsOf(*late).first.empty());
}

// Started by another program: no window, no failure; a press before one
// opens shows no dialog but its notice, task-modal for want of an owner; the
// first window that opens gets the button, and it works.
TEST_F(OutlookAction, WithoutAWindowTheFirstOneThatOpensGetsTheButton) {
    outlook = makeOutlookApplication(nullptr, {.explorer = false}, twoContactFoldersAndMail());
    addin->OutlookInstance(outlook);
    addin->AddinInstance_OnConnection(
        outlook, 1, std::make_shared<COMAddIn>(u"TorvaAddIn.TorvaOutlookConnect", u"d"));
    EXPECT_NO_THROW(addin->AddinInstance_OnAddInsUpdate());
    EXPECT_NO_THROW(addin->AddinInstance_OnStartupComplete());
    EXPECT_EQ(addin->windowCount(), 0u);
    answer({2}, false, true);
    addin->myCommandbarbutton_Click();
    EXPECT_TRUE(shownAddressBooks().empty());
    EXPECT_TRUE(launches().empty());
    test::expectOneNotice(u"Adressbücher unlesbar: ", u"Hinweis", 0, 64u | 0x2000u, false);

    auto first = outlook->openExplorer(makeHostCommandBars(u"Outlook"), {u"Kontakte", {0}},
                                       kExplorerWindow, true);
    EXPECT_EQ(addin->windowCount(), 1u);
    auto button = std::dynamic_pointer_cast<CommandBarButton>(addin->commandbarbutton());
    ASSERT_TRUE(button);
    button->click();
    EXPECT_EQ(launches().size(), 1u);
    ASSERT_EQ(shownAddressBooks().size(), 1u);
    EXPECT_EQ(shownAddressBooks()[0].owner, kExplorerWindow);
}
