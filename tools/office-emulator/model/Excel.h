#pragma once
// Excel's object model as the add-in's export meets it: the active sheet
// (a worksheet with the displayed text of its cells, or a chart sheet), the
// selection as a Range with its Areas, R1C1 addresses, Cells.Item, Text,
// Value2 and NumberFormat, and WorksheetFunction.Text.

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Hosts.h"
#include "ModelObject.h"

namespace torva::model {

inline constexpr int32_t kExcelRows = 1048576;
inline constexpr int32_t kExcelColumns = 16384;  // XFD
inline constexpr int32_t kXlA1 = 1;
inline constexpr int32_t kXlR1C1 = -4150;

inline constexpr Guid kIidWorksheet = oleIid(0x000208D8);
inline constexpr Guid kIidChart = oleIid(0x000208D6);
inline constexpr Guid kIidRange = oleIid(0x00020846);
inline constexpr Guid kIidAreas = oleIid(0x00020860);

// What Excel raises where its own calls fail (Excel's "Application-defined
// or object-defined error" in VB's numbering, 1004).
inline constexpr int32_t kXlErrorHResult = static_cast<int32_t>(0x800A03EC);
// A fresh column's width in characters of the standard font's digits.
inline constexpr double kStandardColumnWidth = 8.43;

// What a cell holds: a text (shown as it is), or a number or date with the
// number format Excel shows it in. A date is held as Excel's serial number.
struct CellValue {
    enum class Kind { Text, Number, Date } kind = Kind::Text;
    double number = 0;
    std::u16string text;
    std::u16string numberFormat = u"General";
};

// Excel's serial number of a day (1900 date system, which counts the
// 29 February 1900 that never was: serial 60). Throws std::invalid_argument
// for a day Excel cannot hold (before 1900, after 9999, not in the calendar).
double excelSerialOf(int year, int month, int day);
// The number formats the emulator knows: General, "0", "0.00", "#,##0",
// "dd.mm.yyyy", "yyyy-mm-dd", "@".
bool knownNumberFormat(std::u16string_view format);
// A number in one of those formats, as Excel writes it (invariant
// separators: "," groups, "." marks decimals); throws std::invalid_argument
// for a format it does not know or a date format on a number no date has.
std::u16string formatNumber(double value, std::u16string_view format);

// One rectangular area, rows and columns counted from 1.
struct CellRect {
    int32_t firstRow, lastRow, firstCol, lastCol;
    bool operator==(const CellRect&) const = default;
};

// "B5", "A1:B2", "A1:B3,D5:E6", "C:E", "2:4", "A:XFD", as a user types them
// into the Name box; throws std::invalid_argument on anything else.
std::vector<CellRect> parseA1Selection(std::u16string_view text);
// A1-style cell name ("AB12") to row and column; throws std::invalid_argument.
std::pair<int32_t, int32_t> parseA1Cell(std::u16string_view name);
// Excel's absolute address of one area in R1C1 style (R5C2, R1C1:R2C2, C3,
// C3:C5, R2, R2:R4, R1:R1048576) or in A1 style ($B$5, $A$1:$B$2, $C:$E, $2:$4).
std::u16string areaAddress(const CellRect& area, bool r1c1);

class Worksheet : public Object {
  public:
    explicit Worksheet(std::u16string name);
    void setText(int32_t row, int32_t col, std::u16string text);
    void setValue(int32_t row, int32_t col, CellValue value);
    // Column width in characters; a number or date wider than its column
    // shows as "#" repeated to the width, as in Excel.
    void setColumnWidth(int32_t col, double width);
    // What the cell shows (Range.Text).
    std::u16string text(int32_t row, int32_t col) const;
    // The cell as it is held: Value2 and NumberFormat come from here.
    CellValue value(int32_t row, int32_t col) const;
    // Makes a failing cell: its Text raises, as a broken link to Excel would.
    void failAt(int32_t row, int32_t col) { failing_ = {row, col}; }
    bool fails(int32_t row, int32_t col) const { return failing_ == std::pair{row, col}; }

  private:
    std::u16string name_;
    std::map<std::pair<int32_t, int32_t>, CellValue> cells_;
    std::map<int32_t, double> widths_;
    std::pair<int32_t, int32_t> failing_{0, 0};
};

class ChartSheet : public Object {
  public:
    explicit ChartSheet(std::u16string name);

  private:
    std::u16string name_;
};

class Range : public Object {
  public:
    Range(std::shared_ptr<Worksheet> sheet, std::vector<CellRect> areas);
    const std::vector<CellRect>& areas() const { return areas_; }

  private:
    Value text() const;
    Value value2() const;
    Value numberFormat() const;
    std::u16string address(bool r1c1) const;

    std::shared_ptr<Worksheet> sheet_;
    std::vector<CellRect> areas_;
};

class Areas : public Object {
  public:
    Areas(std::shared_ptr<Worksheet> sheet, std::vector<CellRect> areas);

  private:
    Value area(size_t i) const;

    std::shared_ptr<Worksheet> sheet_;
    std::vector<CellRect> areas_;
};

// A drawing or chart object that the user selected instead of cells.
class ChartObject : public Object {
  public:
    ChartObject();
};

// Application.WorksheetFunction: Text(Arg1, Arg2) formats a value as a
// worksheet's TEXT function does.
class WorksheetFunction : public Object {
  public:
    WorksheetFunction();
};

// Excel's Application with the active sheet and the selection.
class ExcelApplication : public Application {
  public:
    ExcelApplication(ObjectRef commandBars, const HostOptions& options, ObjectRef activeSheet,
                     ObjectRef selection);

  private:
    ObjectRef activeSheet_;
    ObjectRef selection_;
};

// What a scenario's "excel" part describes.
struct ExcelSetup {
    bool chartSheet = false;
    std::u16string sheetName = u"Sheet1";
    std::vector<std::pair<std::u16string, std::u16string>> cells;  // A1 name, text
    std::vector<std::pair<std::u16string, CellValue>> valueCells;  // A1 name, value
    std::vector<std::pair<int32_t, double>> columnWidths;          // column, characters
    std::u16string selection;                                      // A1 style
    bool chartSelected = false;
    bool noWorkbook = false;  // Excel with no workbook open: no sheet, no selection
};
std::shared_ptr<ExcelApplication> makeExcelApplication(ObjectRef commandBars,
                                                       const HostOptions& options,
                                                       const ExcelSetup& setup);

}  // namespace torva::model
