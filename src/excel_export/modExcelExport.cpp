#include "excel_export/modExcelExport.h"

#include <cstdio>
#include <exception>
#include <string>
#include <variant>

#include "support/Notice.h"
#include "platform/Platform.h"
#include "base/Error.h"
#include "support/ExportFile.h"
#include "support/modStringTables.h"
#include "support/modUtils.h"
#include "support/StringIds.h"

namespace torva {

using automation::Arg;
using automation::asInt;
using automation::asObject;
using automation::asString;
using automation::ObjectRef;

namespace {

// Excel's R1C1 reference style (xlR1C1).
constexpr int32_t kR1C1 = -4150;
// _Worksheet: the active sheet is taken as a worksheet; a chart sheet is not.
constexpr automation::Guid kWorksheetIid{
    0x000208D8, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// VB's run-time errors where the add-in's own code fails.
[[noreturn]] void typeMismatch() { throw Error(vb::kTypeMismatch, u"Type mismatch"); }

// The ends of an export that the user is told about, each a failure of its
// own kind, so that the export's one handler can tell them apart.
struct NotAWorksheet : Error {
    explicit NotAWorksheet(const Error& e) : Error(e) {}
};
// A row above 600 has no flag: VB's "Subscript out of range".
struct PastRowLimit : Error {
    PastRowLimit() : Error(vb::kSubscriptOutOfRange, u"Subscript out of range") {}
};
// An empty header cell whose letter code would pass 255.
struct PastLastLetter : Error {
    PastLastLetter() : Error(vb::kInvalidCall, u"Invalid procedure call or argument") {}
};

[[noreturn]] void subscriptOutOfRange() { throw PastRowLimit(); }

std::u16string trimBlanks(std::u16string text) {
    const auto first = text.find_first_not_of(u' ');
    if (first == std::u16string::npos) return {};
    text.erase(text.find_last_not_of(u' ') + 1);
    text.erase(0, first);
    return text;
}

// The worksheet's Cells are asked for once per export (at its first cell)
// rather than once per cell.
ObjectRef cellAt(ExcelExportState& xl, int32_t row, int32_t col) {
    if (!xl.xlCells) xl.xlCells = asObject(xl.xlSheet->get(u"Cells"));
    return asObject(xl.xlCells->get(u"Item", {Arg(row), Arg(col)}));
}

// The displayed text of a cell of xlSheet, blanks trimmed: enough for the
// scans, which only ask whether a cell is empty.
std::u16string cellText(ExcelExportState& xl, int32_t row, int32_t col) {
    return trimBlanks(asString(cellAt(xl, row, col)->get(u"Text")));
}

// Excel shows a number or date too wide for its column as a run of "#",
// and Text gives that run: a label would print "#####" for a postcode.
bool onlyHashes(std::u16string_view text) {
    return !text.empty() && text.find_first_not_of(u'#') == std::u16string_view::npos;
}

// What the cell would show in a column wide enough: its Value2 in its own
// number format, formatted by Excel. A text cell made of "#" is what it
// says; where Excel does not answer, the label gets what the cell shows.
std::u16string shownInWideColumn(ExcelExportState& xl, automation::Object& cell,
                                 std::u16string shown) {
    try {
        const automation::Value value = cell.get(u"Value2");
        if (!std::holds_alternative<double>(value) && !std::holds_alternative<int32_t>(value))
            return shown;
        const automation::Value format = cell.get(u"NumberFormat");
        if (!xl.xlFunctions) xl.xlFunctions = asObject(xl.xlApp->get(u"WorksheetFunction"));
        automation::Value text = xl.xlFunctions->call(u"Text", {Arg(value), Arg(format)});
        if (auto* formatted = std::get_if<std::u16string>(&text)) return std::move(*formatted);
    } catch (const Error&) {  // Excel refused: the label gets what the cell shows
    }
    return shown;
}

// A field of the export: the cell's text, blanks trimmed, with a run of
// "#" replaced by what a wide column shows.
std::u16string cellField(ExcelExportState& xl, int32_t row, int32_t col) {
    const ObjectRef cell = cellAt(xl, row, col);
    std::u16string text = asString(cell->get(u"Text"));
    if (onlyHashes(text)) text = shownInWideColumn(xl, *cell, std::move(text));
    return trimBlanks(std::move(text));
}

int32_t toNumber(std::u16string_view digits) {
    if (digits.empty()) typeMismatch();
    int64_t n = 0;
    for (char16_t ch : digits) {
        if (ch < u'0' || ch > u'9') typeMismatch();
        n = n * 10 + (ch - u'0');
        if (n > INT32_MAX) throw Error(vb::kOverflow, u"Overflow");
    }
    return static_cast<int32_t>(n);
}

void flagRow(ExcelExportState& xl, int32_t row) {
    if (row < 0 || row > kHighestFlaggedRow) subscriptOutOfRange();
    xl.rowSelected[static_cast<size_t>(row)] = true;
}

}  // namespace

int32_t minOf(int32_t a, int32_t b) { return a < b ? a : b; }
int32_t maxOf(int32_t a, int32_t b) { return a > b ? a : b; }

RangeBounds mergeBounds(const RangeBounds& a, const RangeBounds& b) {
    return {minOf(a.firstRow, b.firstRow), maxOf(a.lastRow, b.lastRow),
            minOf(a.firstCol, b.firstCol), maxOf(a.lastCol, b.lastCol)};
}

int32_t lastRowOfColumn(ExcelExportState& xl, int32_t c) {
    int32_t r = xl.rowScanEnd;
    for (;;) {
        if (cellText(xl, r + 1, c).empty()) break;
        ++r;
        if (r >= kColumnScanLimit) break;
    }
    xl.rowScanEnd = r;
    return r;
}

int32_t lastColumnOfRow(ExcelExportState& xl, int32_t r) {
    int32_t c = xl.columnScanEnd;
    for (;;) {
        if (cellText(xl, r, c + 1).empty()) break;
        ++c;
        if (c >= kRowScanLimit) break;
    }
    xl.columnScanEnd = c;
    return c;
}

RangeBounds parseCellRef(ExcelExportState& xl, std::u16string_view ref) {
    if (!ref.empty() && ref[0] == u'C') {  // whole column: C3
        const int32_t c = toNumber(ref.substr(1));
        return {1, lastRowOfColumn(xl, c), c, c};
    }
    const auto at = ref.find(u'C');
    const size_t p = at == std::u16string_view::npos ? 0 : at + 1;  // counted from 1
    if (p > 2) {                                                    // one cell: R12C3
        const int32_t r = toNumber(ref.substr(1, p - 2));
        const int32_t c = toNumber(ref.substr(p));
        return {r, r, c, c};
    }
    // whole row: R12
    const int32_t r = toNumber(ref.substr(1));
    return {r, r, 1, lastColumnOfRow(xl, r)};
}

RangeBounds parseAddress(ExcelExportState& xl, std::u16string_view address) {
    const auto colon = address.find(u':');
    if (colon == std::u16string_view::npos) return parseCellRef(xl, address);
    // The two ends are parsed in this order: the scans share their positions.
    const auto rest = address.substr(colon + 1);
    const RangeBounds first = parseCellRef(xl, address.substr(0, colon));
    const RangeBounds second = parseCellRef(xl, rest.substr(0, rest.find(u':')));
    return mergeBounds(first, second);
}

RangeBounds getRangeBounds(ExcelExportState& xl, const ObjectRef& range) {
    const ObjectRef areas = asObject(range->get(u"Areas"));
    if (asInt(areas->get(u"Count")) == 1) {
        const ObjectRef area = asObject(areas->get(u"Item", {Arg(1)}));
        const std::u16string address =
            asString(area->get(u"Address", {Arg::named(u"ReferenceStyle", int32_t{kR1C1})}));
        const RangeBounds b = parseAddress(xl, address);
        for (int32_t r = b.firstRow; r <= b.lastRow; ++r) flagRow(xl, r);
        return b;
    }
    RangeBounds merged{kMergeStart, 0, kMergeStart, 0};
    for (const auto& area : areas->items())
        merged = mergeBounds(merged, getRangeBounds(xl, asObject(area)));
    return merged;
}

void analyseSelection(ExcelExportState& xl) {
    xl.selectionBounds = {0, 0, 0, 0};
    const ObjectRef selection = asObject(xl.xlApp->get(u"Selection"));
    if (!selection || selection->typeName() != u"Range") return;
    xl.columnScanEnd = 0;
    xl.rowScanEnd = 0;
    for (int32_t r = 1; r <= kHighestFlaggedRow; ++r)
        xl.rowSelected[static_cast<size_t>(r)] = false;
    xl.selectionBounds = getRangeBounds(xl, selection);
}

bool readsAsNumber(std::u16string_view text, char16_t decimal, char16_t grouping) {
    size_t i = 0;
    const auto digit = [&](size_t at) {
        return at < text.size() && text[at] >= u'0' && text[at] <= u'9';
    };
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ++i;
    bool digits = false;
    while (i < text.size()) {
        if (digit(i)) {
            digits = true;
        } else if (text[i] == grouping && digits && digit(i + 1)) {
            // a grouping separator stands between digits
        } else {
            break;
        }
        ++i;
    }
    if (i < text.size() && text[i] == decimal) {
        ++i;
        while (digit(i)) digits = true, ++i;
    }
    if (!digits) return false;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ++i;
        if (!digit(i)) return false;
        while (digit(i)) ++i;
    }
    return i == text.size();
}

namespace {

std::u16string headerField(const std::u16string& text, int32_t k) {
    if (text.empty()) {
        const int32_t code = 64 + k;
        if (code > 255) throw PastLastLetter();
        if (code < 128) return std::u16string(1, static_cast<char16_t>(code));
        return platform::fromAnsi(std::string(1, static_cast<char>(code)));
    }
    const auto separators = platform::numberSeparators();
    if (readsAsNumber(text, separators.decimal, separators.grouping)) return u"F_" + text;
    return text;
}

std::u16string decimal(int32_t n) {
    const std::string digits = std::to_string(n);
    return {digits.begin(), digits.end()};
}

// Step 9: what the user and the log are told about a failed export.
void tellFailedExport(const std::exception& e, const std::u16string& path) noexcept {
    try {
        const std::u16string description = describeFailure(e);
        if (dynamic_cast<const NotAWorksheet*>(&e)) {
            showFailureNotice(StringId::kNotAWorksheet, {},
                              u"Excel export: the active sheet is not a worksheet: ", description);
        } else if (dynamic_cast<const PastRowLimit*>(&e)) {
            showFailureNotice(StringId::kPastRowLimit, {decimal(kHighestFlaggedRow)},
                              u"Excel export: the selection reaches past row 600: ", description);
        } else if (dynamic_cast<const PastLastLetter*>(&e)) {
            // The block's first column whose letter code would pass 255.
            showFailureNotice(StringId::kPastLastLetter, {decimal(255 - 64 + 1)},
                              u"Excel export: the header row runs past the last letter code: ",
                              description);
        } else if (dynamic_cast<const ExportFileError*>(&e)) {
            showFailureNotice(StringId::kExcelExportFileFailed,
                              {path.substr(0, path.find_last_of(u'\\')), description},
                              u"Excel export: the export file could not be written: ", description);
        } else {
            showFailureNotice(StringId::kExcelRefusedCall, {description},
                              u"Excel export: Excel refused a call: ", description);
        }
    } catch (...) {  // no memory for the description: nothing left to tell
    }
}

}  // namespace

bool exportSelection(const std::u16string& path, const ObjectRef& app) noexcept {
    ExcelExportState xl;
    return exportSelection(path, app, xl);
}

bool exportSelection(const std::u16string& path, const ObjectRef& app,
                     ExcelExportState& xl) noexcept {
    bool result = false;
    bool fileBegun = false;
    try {
        xl.xlApp = app;
        // What was taken from another export's sheet and application goes.
        xl.xlCells = nullptr;
        xl.xlFunctions = nullptr;
        // With no workbook open there is no active sheet: Nothing stays
        // Nothing, and the selection (Nothing too) is then no range.
        const ObjectRef sheet = asObject(xl.xlApp->get(u"ActiveSheet"));
        try {
            xl.xlSheet = sheet ? sheet->queryInterface(kWorksheetIid) : nullptr;
        } catch (const automation::Error& e) {
            if (e.hresult() == automation::kENoInterface) throw NotAWorksheet(e);
            throw;
        }
        analyseSelection(xl);
        const RangeBounds b = xl.selectionBounds;
        if (!(b.lastRow - b.firstRow >= 1 && b.lastCol - b.firstCol >= 1)) {
            showInfoMessage(GetString(StringId::kSelectionTooSmall));
            return false;
        }
        fileBegun = true;
        ExportFile file(path);

        std::u16string line;
        int32_t k = 1;
        for (int32_t c = b.firstCol; c <= b.lastCol; ++c) {
            line += headerField(cellField(xl, b.firstRow, c), k) + u'\t';
            ++k;
        }
        file.writeLine(std::u16string_view(line).substr(0, line.size() - 1));

        for (int32_t r = b.firstRow + 1; r <= b.lastRow; ++r) {
            if (r > kHighestFlaggedRow) subscriptOutOfRange();
            if (!xl.rowSelected[static_cast<size_t>(r)]) continue;
            line.clear();
            for (int32_t c = b.firstCol; c <= b.lastCol; ++c) line += cellField(xl, r, c) + u'\t';
            file.writeLine(std::u16string_view(line).substr(0, line.size() - 1));
        }
        file.close();
        result = true;
    } catch (const std::exception& e) {
        // The user learns why nothing starts; a begun file goes with the export.
        if (fileBegun) RemoveFile(path);
        tellFailedExport(e, path);
    } catch (...) {
        if (fileBegun) RemoveFile(path);
        showFailureNotice(StringId::kExcelRefusedCall, {u"Unexpected failure"},
                          u"Excel export: Excel refused a call: ", u"Unexpected failure");
    }
    return result;
}

}  // namespace torva
