#pragma once
// The Excel export: from the current selection of the active worksheet to a
// tab-separated UTF-16 file that the label application reads.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "automation/Automation.h"

namespace torva {

struct RangeBounds {
    int32_t firstRow;
    int32_t lastRow;
    int32_t firstCol;
    int32_t lastCol;
    bool operator==(const RangeBounds&) const = default;
};

inline constexpr int32_t kHighestFlaggedRow = 600;
inline constexpr int32_t kColumnScanLimit = 300;  // rows a whole-column scan may reach
inline constexpr int32_t kRowScanLimit = 250;     // columns a whole-row scan may reach
inline constexpr int32_t kMergeStart = 5000;

// One export's state, shared by the analysis and the writer. The export
// makes it, hands it to the analysis, writes from it and drops it, and with
// it every Excel object it holds: a reference kept past the action would
// keep Excel's workbook from closing, and no result of one export can
// reach the next.
struct ExcelExportState {
    automation::ObjectRef xlApp;
    automation::ObjectRef xlSheet;
    automation::ObjectRef xlCells;  // the sheet's Cells, taken at the first cell read
    // Application.WorksheetFunction, taken at the first cell that shows only "#"
    automation::ObjectRef xlFunctions;
    RangeBounds selectionBounds{0, 0, 0, 0};
    std::array<bool, kHighestFlaggedRow + 1> rowSelected{};  // index 0 unused
    int32_t rowScanEnd = 0;
    int32_t columnScanEnd = 0;
};

// Selection analysis, from xlApp's selection over xlSheet.
void analyseSelection(ExcelExportState& xl);
RangeBounds getRangeBounds(ExcelExportState& xl, const automation::ObjectRef& range);
RangeBounds parseAddress(ExcelExportState& xl, std::u16string_view address);
RangeBounds parseCellRef(ExcelExportState& xl, std::u16string_view ref);
RangeBounds mergeBounds(const RangeBounds& a, const RangeBounds& b);
int32_t minOf(int32_t a, int32_t b);
int32_t maxOf(int32_t a, int32_t b);
int32_t lastRowOfColumn(ExcelExportState& xl, int32_t c);
int32_t lastColumnOfRow(ExcelExportState& xl, int32_t r);

// The export file. True once the file is completely written and closed;
// false, silently or after the user's notice, otherwise. The second form
// leaves the analysis in `xl` for the caller to look at.
bool exportSelection(const std::u16string& path, const automation::ObjectRef& app) noexcept;
bool exportSelection(const std::u16string& path, const automation::ObjectRef& app,
                     ExcelExportState& xl) noexcept;

// Does the user's locale read this text as a number? (VB's IsNumeric for
// ordinary numbers: sign, digits, grouping and decimal separators, exponent.)
bool readsAsNumber(std::u16string_view text, char16_t decimal, char16_t grouping);

}  // namespace torva
