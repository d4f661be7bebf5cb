// The Outlook contact export at the size of a large address book: 5,000
// contacts written by the address-book dialog's OK, through real IDispatch
// calls on the emulator's COM objects, as in Outlook. Prints the automation
// calls per contact, the GetIDsOfNames calls in all, the time per contact,
// and the export's time as a ratio to the same number of bare Invoke calls on
// the same contacts, in one run.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <iterator>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "CommandBars.h"
#include "ModelDispatch.h"
#include "Outlook.h"
#include "addressbook/AddressBookState.h"
#include "addressbook/frmSelAdrBook.h"
#include "automation/win/DispatchObject.h"
#include "platform/Platform.h"
#include "base/Text.h"
#include "support/modStringTables.h"
#include "support/modUtils.h"

using namespace torva;
using bench::Best;
using win::ComPtr;

namespace {

int kContacts = 5000;
constexpr int kRounds = 5;

// What a business-address export reads of each contact, in its order.
constexpr const wchar_t* kBusinessRead[] = {L"Title",
                                            L"FirstName",
                                            L"LastName",
                                            L"Birthday",
                                            L"CompanyName",
                                            L"Department",
                                            L"BusinessAddressPostalCode",
                                            L"BusinessAddressCity",
                                            L"BusinessAddressStreet",
                                            L"BusinessTelephoneNumber",
                                            L"BusinessFaxNumber",
                                            L"MobileTelephoneNumber",
                                            L"Email1Address"};

std::u16string number(int n) { return fromUtf8(std::to_string(n)); }

model::ItemSetup contact(int i) {
    model::ItemSetup c;
    const std::u16string n = number(i);
    c.text = {{u"Title", i % 3 ? u"" : u"Dr."},
              {u"FirstName", u"Anna" + n},
              {u"LastName", u"Berg-Müller" + n},
              {u"CompanyName", u"Nordwerk GmbH " + number(i % 97)},
              {u"Department", u"Einkauf"},
              {u"BusinessAddressPostalCode", number(10000 + i % 89999)},
              {u"BusinessAddressCity", u"Musterstadt"},
              {u"BusinessAddressStreet", u"Hauptstraße " + number(1 + i % 200)},
              {u"BusinessTelephoneNumber", u"030 " + number(100000 + i)},
              {u"BusinessFaxNumber", i % 2 ? u"" : u"030 " + number(200000 + i)},
              {u"MobileTelephoneNumber", u"0170 " + number(300000 + i)},
              {u"Email1Address", u"anna" + n + u"@nordwerk.example"},
              {u"HomeAddressPostalCode", number(20000 + i % 79999)},
              {u"HomeAddressCity", u"Beispielheim"},
              {u"HomeAddressStreet", u"Lindenweg " + number(1 + i % 90)},
              {u"HomeTelephoneNumber", u"040 " + number(400000 + i)}};
    c.birthday = model::oleDateOf(1940 + i % 60, 1 + i % 12, 1 + i % 28);
    return c;
}

// Lines of a UTF-16LE file: its CR LF pairs.
long linesIn(const std::u16string& path) {
    platform::File file = platform::openFile(path, "rb");
    std::string bytes;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, n);
    long lines = 0;
    for (size_t i = 0; i + 3 < bytes.size(); i += 2)
        if (bytes.compare(i, 4, std::string("\r\0\n\0", 4)) == 0) ++lines;
    return lines;
}

// The properties the export reads, straight through IDispatch on each
// contact in turn, until as many calls as the export made are done.
double bareInvokes(model::MAPIFolder& folder, long wanted) {
    std::vector<ComPtr<IDispatch>> contacts;
    for (const auto& item : folder.contents())
        contacts.push_back(model::com::dispatchFor(std::dynamic_pointer_cast<model::Object>(item)));
    std::vector<DISPID> ids;
    for (const wchar_t* name : kBusinessRead) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = DISPID_UNKNOWN;
        win::throwIfFailed(
            contacts[0]->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
        ids.push_back(id);
    }
    return bench::secondsOf([&] {
        long done = 0;
        for (size_t c = 0; done < wanted; c = (c + 1) % contacts.size()) {
            for (size_t p = 0; p < ids.size() && done < wanted; ++p, ++done) {
                DISPPARAMS none{nullptr, nullptr, 0, 0};
                win::Variant value;
                win::throwIfFailed(contacts[c]->Invoke(ids[p], IID_NULL, LOCALE_USER_DEFAULT,
                                                       DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                                       &none, value.put(), nullptr, nullptr));
            }
        }
    });
}

// The shipped string table gives the header its column names and the
// dialog its set-up; it is staged beside the add-in for the start-up
// benchmark and read from beside this program.
void loadShippedStrings() {
    const std::wstring folder = bench::programFolder();
    const std::wstring beside = folder + L"\\Torva.Sys";
    if (!CopyFileW((folder + L"\\addin\\Torva.Sys").c_str(), beside.c_str(), FALSE))
        throw std::runtime_error("the staged addin\\Torva.Sys is missing");
    const bool loaded = LoadStringTable();
    DeleteFileW(beside.c_str());
    if (!loaded) throw std::runtime_error("the shipped string table did not load");
}

int run() {
    WorkingFolder = GetWorkingFolder();
    loadShippedStrings();

    model::FolderSetup folder{u"Kontakte", model::kOlContactItem, {}, {}};
    for (int i = 0; i < kContacts; ++i) folder.items.push_back(contact(i));
    model::OutlookSetup setup;
    setup.stores.push_back(
        {u"Persönliche Ordner", {folder, {u"Posteingang", model::kOlMailItem, {}, {}}}});
    setup.currentFolder = u"Kontakte";
    auto outlook = model::makeOutlookApplication(model::makeHostCommandBars(u"Outlook"), {}, setup);
    const auto appDispatch = model::com::dispatchFor(outlook);

    auto view = std::make_unique<AddressBookState>();
    AddressBookState* state = view.get();  // the dialog owns it from here on
    auto dialog = frmSelAdrBook::Load(std::move(view));
    dialog->myOutlook = automation::win::wrapDispatch(appDispatch.get());
    // The contacts folder is the only entry and init marks it; business
    // addresses are the dialog's preselected choice.
    if (!dialog->init() || state->entries.size() != 1 || !state->entries[0].marked)
        throw std::runtime_error("the dialog did not offer the contacts folder");

    auto& counters = model::com::comCounters();
    long invokes = 0, firstNames = 0, laterNames = 0;
    Best exportTime, bareTime;
    for (int round = 0; round < kRounds; ++round) {
        const long invokeBefore = counters.invoke, namesBefore = counters.getIDsOfNames;
        exportTime.add(bench::secondsOf([&] { dialog->cmdOK_Click(); }));
        invokes = counters.invoke - invokeBefore;
        (round == 0 ? firstNames : laterNames) += counters.getIDsOfNames - namesBefore;
        if (dialog->FileName.empty()) throw std::runtime_error("the export failed");
        const long lines = linesIn(dialog->FileName);
        platform::deleteFile(dialog->FileName);
        if (lines != kContacts + 1)
            throw std::runtime_error("the export file has " + std::to_string(lines) + " lines");
        bareTime.add(bareInvokes(*outlook->folderAt(u"Kontakte"), invokes));
    }

    std::printf("Contact export of %d contacts (business addresses) through IDispatch\n",
                kContacts);
    std::printf("  Invoke calls per contact:     %.3f (%zu properties read of each)\n",
                double(invokes) / kContacts, std::size(kBusinessRead));
    std::printf(
        "  GetIDsOfNames calls in all:   %ld in the first export (%.4f per contact),\n"
        "                                %ld in the %d later ones\n",
        firstNames, double(firstNames) / kContacts, laterNames, kRounds - 1);
    std::printf("  time per contact:             %.2f us (%.1f ms in all, best of %d)\n",
                exportTime.seconds() * 1e6 / kContacts, exportTime.ms(), kRounds);
    std::printf("  export / bare Invoke time:    %.2f (%.1f ms for %ld bare calls)\n",
                exportTime.seconds() / bareTime.seconds(), bareTime.ms(), invokes);
    std::printf(
        "Summary: contact export %.2f us per contact, %.3f Invoke per contact, %ld "
        "GetIDsOfNames in all, %.2fx bare Invoke\n",
        exportTime.seconds() * 1e6 / kContacts, double(invokes) / kContacts,
        firstNames + laterNames, exportTime.seconds() / bareTime.seconds());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2) kContacts = std::max(1, std::atoi(argv[1]));  // a smaller address book
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int rc = 1;
    try {
        rc = run();  // every COM object is gone before COM is
    } catch (const std::exception& e) {
        std::printf("bench_contact_export: %s\n", e.what());
    }
    CoUninitialize();
    return rc;
}
