// The largest block the Excel export accepts (600 rows x 250 columns), read
// through real IDispatch calls on the emulator's COM objects, as in Excel.
// Prints the automation calls per cell and the export's time as a ratio to
// the same number of bare Invoke calls on the same objects, in one run.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Excel.h"
#include "ModelDispatch.h"
#include "automation/win/DispatchObject.h"
#include "excel_export/modExcelExport.h"
#include "platform/Platform.h"
#include "support/modUtils.h"

using namespace torva;
using Clock = std::chrono::steady_clock;

namespace {

int kRows = 600;  // the largest block the export accepts
int kCols = 250;
constexpr int kRounds = 3;

std::u16string columnName(int col) {
    std::u16string s;
    for (; col > 0; col = (col - 1) / 26) s.insert(s.begin(), char16_t(u'A' + (col - 1) % 26));
    return s;
}

std::u16string number(int n) {
    const std::string s = std::to_string(n);
    return {s.begin(), s.end()};
}

DISPID dispidOf(IDispatch* d, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    win::throwIfFailed(d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    return id;
}

// Cells.Item(r, c).Text for every cell, straight through IDispatch.
double bareInvokes(IDispatch* cells, long wanted) {
    const DISPID item = dispidOf(cells, L"Item");
    DISPID text = DISPID_UNKNOWN;
    long done = 0;
    const auto start = Clock::now();
    for (int r = 1; r <= kRows && done < wanted; ++r) {
        for (int c = 1; c <= kCols && done < wanted; ++c) {
            VARIANT args[2];
            args[1].vt = VT_I4, args[1].lVal = r;  // reversed, as COM wants them
            args[0].vt = VT_I4, args[0].lVal = c;
            DISPPARAMS params{args, nullptr, 2, 0};
            win::Variant cell;
            win::throwIfFailed(cells->Invoke(item, IID_NULL, LOCALE_USER_DEFAULT,
                                             DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                                             cell.put(), nullptr, nullptr));
            IDispatch* range = cell.get()->pdispVal;
            if (text == DISPID_UNKNOWN) text = dispidOf(range, L"Text");
            DISPPARAMS none{nullptr, nullptr, 0, 0};
            win::Variant value;
            win::throwIfFailed(range->Invoke(text, IID_NULL, LOCALE_USER_DEFAULT,
                                             DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none,
                                             value.put(), nullptr, nullptr));
            done += 2;
        }
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int run() {
    WorkingFolder = GetWorkingFolder();

    model::ExcelSetup setup;
    setup.selection = u"A1:" + columnName(kCols) + number(kRows);
    for (int r = 1; r <= kRows; ++r)
        for (int c = 1; c <= kCols; ++c)
            setup.cells.emplace_back(columnName(c) + number(r),
                                     u" r" + number(r) + u"c" + number(c) + u" ");
    auto excel = model::makeExcelApplication(nullptr, {}, setup);
    const auto appDispatch = model::com::dispatchFor(excel);
    const automation::ObjectRef app = automation::win::wrapDispatch(appDispatch.get());

    const auto sheet = model::com::dispatchFor(
        std::static_pointer_cast<model::Object>(automation::asObject(excel->get(u"ActiveSheet"))));
    win::Variant cells;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    win::throwIfFailed(sheet->Invoke(dispidOf(sheet.get(), L"Cells"), IID_NULL, LOCALE_USER_DEFAULT,
                                     DISPATCH_PROPERTYGET, &none, cells.put(), nullptr, nullptr));

    // Export and bare calls take turns, and each keeps its best round, so
    // that a slow moment of the machine does not fall on one side only.
    auto& counters = model::com::comCounters();
    long invokes = 0, names = 0;
    double exportSeconds = 1e9, bareSeconds = 1e9;
    const std::u16string path = WorkingFolder + u"\\" + NewTempName();
    for (int round = 0; round < kRounds; ++round) {
        const long invokeBefore = counters.invoke, namesBefore = counters.getIDsOfNames;
        const auto start = Clock::now();
        const bool ok = exportSelection(path, app);
        exportSeconds =
            std::min(exportSeconds, std::chrono::duration<double>(Clock::now() - start).count());
        invokes = counters.invoke - invokeBefore;
        if (round == 0) names = counters.getIDsOfNames - namesBefore;
        platform::deleteFile(path);
        if (!ok) {
            std::printf("the export failed\n");
            return 1;
        }
        bareSeconds = std::min(bareSeconds, bareInvokes(cells.get()->pdispVal, invokes));
    }

    const double cellCount = double(kRows) * kCols;
    std::printf("Excel export of %d x %d cells through IDispatch\n", kRows, kCols);
    std::printf("  Invoke calls per cell:        %.3f (each cell needs its item and its text)\n",
                invokes / cellCount);
    std::printf(
        "  GetIDsOfNames calls in all:   %ld (%.6f per cell; first export, the DISPID\n"
        "                                cache then holds them and later ones ask none)\n",
        names, names / cellCount);
    std::printf(
        "  export / bare Invoke time:    %.2f (%.3f s / %.3f s for %ld calls, best of %d)\n",
        exportSeconds / bareSeconds, exportSeconds, bareSeconds, invokes, kRounds);
    std::printf(
        "Summary: Excel export %.3f Invoke per cell, %ld GetIDsOfNames in all, %.2fx bare "
        "Invoke\n",
        invokes / cellCount, names, exportSeconds / bareSeconds);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3) kRows = std::atoi(argv[1]), kCols = std::atoi(argv[2]);  // a smaller block
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int rc = run();  // every COM object is gone before COM is
    CoUninitialize();
    return rc;
}
