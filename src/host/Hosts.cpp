// The four hosts: what differs between them, and what a press of the
// add-in's button or menu entry does in each. The one room of host that
// starts the label application.
#include "host/ConnectClass.h"

#include <memory>
#include <string>

#include "addressbook/frmSelAdrBook.h"
#include "excel_export/modExcelExport.h"
#include "handoff/modAddin.h"
#include "host/AddInTimer.h"
#include "host/frmPicStore.h"
#include "support/Notice.h"
#include "support/StringIds.h"
#include "support/modStringTables.h"
#include "support/modUtils.h"

namespace torva {

using automation::asInt;
using automation::asObject;
using automation::asString;

const HostInfo kExcelHost{
    .name = u"Excel",
    .applicationIid = {0x000208D5, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}},
    .connectionLogPrefix = u"Excel OnConnection_ERROR: ",
    .buttonCaptionId = StringId::kExcelButtonCaption,
    .buttonTooltipId = StringId::kExcelButtonTooltip,
    .menuCaptionId = StringId::kExcelMenuCaption,
    .mainMenuBarName = u"Worksheet Menu Bar",
    .hostKeyword = u"EXCEL",
    .ribbon = &kExcelRibbon,
};
const HostInfo kWordHost{
    .name = u"Word",
    .applicationIid = {0x00020970, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}},
    .connectionLogPrefix = u"Word OnConnection_ERROR: ",
    .buttonCaptionId = StringId::kWordButtonCaption,
    .buttonTooltipId = StringId::kWordButtonTooltip,
    .menuCaptionId = StringId::kWordMenuCaption,
    .mainMenuBarName = u"Menu Bar",
    .hostKeyword = u"WORD",
    .marksNormalTemplateSaved = true,
    .ownerWindow = OwnerWindow::ActiveWindowHwnd,
    .ribbon = &kWordRibbon,
};
const HostInfo kAccessHost{
    .name = u"Access",
    .applicationIid = {0x68CCE6C0,
                       0x6129,
                       0x101B,
                       {0xAF, 0x4E, 0x00, 0xAA, 0x00, 0x3F, 0x0F, 0x07}},
    .connectionLogPrefix = u"Access OnConnection_ERROR: ",
    .buttonCaptionId = StringId::kAccessButtonCaption,
    .buttonTooltipId = StringId::kAccessButtonTooltip,
    .menuCaptionId = StringId::kAccessMenuCaption,
    .mainMenuBarName = u"Menu Bar",
    .hostKeyword = u"ACCESS",
    .logsInstallationFailures = true,
    .ownerWindow = OwnerWindow::AccessAppWindow,
    .ribbon = &kAccessRibbon,
};
const HostInfo kOutlookHost{
    .name = u"Outlook",
    .applicationIid = {0x00063001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}},
    .connectionLogPrefix = u"Outlook OnConnection_ERROR: ",
    .buttonCaptionId = StringId::kOutlookButtonCaption,
    .buttonTooltipId = StringId::kOutlookButtonTooltip,
    .menuCaptionId = StringId::kOutlookMenuCaption,
    .mainMenuBarName = u"Menu Bar",
    .hostKeyword = u"OUTLOOK",
    .commandBarsOfActiveExplorer = true,
    .removesAtBeginShutdown = true,
    .ownerWindow = OwnerWindow::ExplorerWindow,
    .ribbon = &kOutlookRibbon,
};

TorvaExcelConnect::TorvaExcelConnect() : ConnectClass(kExcelHost) {}

void TorvaExcelConnect::myCommandbarbutton_Click() {
    runPress([this] { RunHostAction(); });
}

void TorvaExcelConnect::myMenuButton_Click() {
    runPress([this] { RunHostAction(); });
}

void TorvaExcelConnect::RunHostAction() {
    const std::u16string path = WorkingFolder + u"\\" + NewTempName();
    const bool ok = exportSelection(path, ExcelInstance());
    // A start that failed (and said so) leaves no export behind.
    if (ok && !launchLabelApplication(kRunModeExcel, path, u"", u"")) RemoveFile(path);
}

TorvaWordConnect::TorvaWordConnect() : ConnectClass(kWordHost) {}

void TorvaWordConnect::myCommandbarbutton_Click() {
    runPress([] { (void)launchLabelApplication(kRunModeWord, u"", u"", u""); });
}

void TorvaWordConnect::myMenuButton_Click() {
    runPress([] { (void)launchLabelApplication(kRunModeWord, u"", u"", u""); });
}

TorvaAccessConnect::TorvaAccessConnect() : ConnectClass(kAccessHost) {}

// Installation waits until a database is open: the start-up timer polls
// AddInTimer_Timer for that. The Ribbon shows its button without one, so
// no timer runs there.
void TorvaAccessConnect::AddinInstance_OnAddInsUpdate() {
    if (!showsRibbon()) startAddInTimer(shared_from_this());
}
void TorvaAccessConnect::AddinInstance_OnStartupComplete() {
    if (!showsRibbon()) startAddInTimer(shared_from_this());
}

bool TorvaAccessConnect::AddInTimer_Timer() {
    ObjectRef database = asObject(AccessInstance()->call(u"CurrentDb"));
    if (!database) return false;
    // Logs its own failures; the installation is not tried again either way.
    CreateCommandBars();
    return true;
}

void TorvaAccessConnect::myCommandbarbutton_Click() {
    runPress([this] { RunHostAction(); });
}

void TorvaAccessConnect::myMenuButton_Click() {
    runPress([this] { RunHostAction(); });
}

void TorvaAccessConnect::RunHostAction() {
    constexpr int32_t acTable = 0;
    constexpr int32_t acQuery = 1;
    const ObjectRef access = AccessInstance();
    // The Ribbon shows the button before any database is open, where the
    // toolbar waited for one.
    if (showsRibbon() && !asObject(access->call(u"CurrentDb"))) {
        showInfoMessage(GetString(StringId::kNoDatabaseOpen));
        return;
    }
    const int32_t type = asInt(access->get(u"CurrentObjectType"));
    if (type != acTable && type != acQuery) {
        showInfoMessage(GetString(StringId::kNotATableOrQuery));
        return;
    }
    const std::u16string_view kind = type == acTable ? u"TABLE " : u"QUERY ";
    const ObjectRef database = asObject(access->call(u"CurrentDb"));
    if (!database) {
        // The database was closed since the toolbar was installed.
        showInfoMessage(GetString(StringId::kNoDatabaseOpen));
        return;
    }
    const std::u16string dbFile = asString(database->get(u"Name"));
    // Put in as it is: Access names may hold "]" and the label application
    // reads the statement as given.
    const std::u16string name = asString(access->get(u"CurrentObjectName"));
    const std::u16string dbSql = u"SELECT * FROM [" + name + u"]";
    const std::u16string dbConnect = std::u16string(kind) + name;
    (void)launchLabelApplication(kRunModeAccess, dbFile, dbConnect, dbSql);
}

void TorvaOutlookConnect::myCommandbarbutton_Click() {
    runPress([this] { RunHostAction(nullptr); });
}

void TorvaOutlookConnect::myMenuButton_Click() {
    runPress([this] { RunHostAction(nullptr); });
}

// A press in a window: its selection is offered, and its window owns the
// dialog and the notices.
void TorvaOutlookConnect::pressIn(const ObjectRef& explorer) {
    runPress([this, explorer] { RunHostAction(explorer); },
             [explorer] { return explorer->oleWindow(); });
}

void TorvaOutlookConnect::RunHostAction(const ObjectRef& explorer) {
    // Failures of loading or showing end the press in its notice.
    std::unique_ptr<frmSelAdrBook> dialog =
        frmSelAdrBook::Load(createAddressBookView(pressOwnerWindow()));
    dialog->view().setIcon(frmPicStore::Icon());
    dialog->myOutlook = OutlookInstance();
    dialog->myExplorer = explorer;
    if (!dialog->init()) return;
    dialog->Show();
    const std::u16string fileName = dialog->FileName;
    dialog.reset();
    // A start that failed (and said so) leaves no export behind.
    if (!fileName.empty() && !launchLabelApplication(kRunModeOutlook, fileName, u"", u""))
        RemoveFile(fileName);
}

}  // namespace torva
