// Excel's objects as the export meets them: the sheets, ranges with their
// areas, the chart the user may have selected, WorksheetFunction and the
// Application that holds the active sheet and the selection.

#include "Excel.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>
#include <string>

namespace torva::model {

namespace {

[[noreturn]] void xlError(std::u16string description) {
    throw automation::Error(kXlErrorHResult, std::move(description));
}

}  // namespace

Worksheet::Worksheet(std::u16string name) : Object(u"Worksheet"), name_(std::move(name)) {
    implements(kIidWorksheet);
    property(u"Name", [this](const Params&) { return Value{name_}; });
    property(u"Cells",
             [this](const Params& p) -> Value {
                 auto self = std::static_pointer_cast<Worksheet>(shared_from_this());
                 auto all = std::make_shared<Range>(
                     self, std::vector<CellRect>{{1, kExcelRows, 1, kExcelColumns}});
                 // Cells(r, c) reaches the default member, as in Excel.
                 if (!p.empty() && p[0])
                     return all->get(u"Item", {Value(param(p, 0)), Value(param(p, 1))});
                 return Value{ObjectRef(all)};
             },
             {}, {u"RowIndex", u"ColumnIndex"});
}

void Worksheet::setText(int32_t row, int32_t col, std::u16string text) {
    if (text.empty()) {
        cells_.erase({row, col});
    } else {
        CellValue v;
        v.text = std::move(text);
        cells_[{row, col}] = std::move(v);
    }
}

void Worksheet::setValue(int32_t row, int32_t col, CellValue value) {
    if (value.kind == CellValue::Kind::Text && value.text.empty())
        cells_.erase({row, col});
    else
        cells_[{row, col}] = std::move(value);
}

void Worksheet::setColumnWidth(int32_t col, double width) { widths_[col] = width; }

CellValue Worksheet::value(int32_t row, int32_t col) const {
    const auto it = cells_.find({row, col});
    return it == cells_.end() ? CellValue{} : it->second;
}

std::u16string Worksheet::text(int32_t row, int32_t col) const {
    const auto it = cells_.find({row, col});
    if (it == cells_.end()) return {};
    const CellValue& v = it->second;
    if (v.kind == CellValue::Kind::Text) return v.text;  // text runs over into its neighbours
    std::u16string shown;
    try {
        shown = formatNumber(v.number, v.numberFormat);
    } catch (const std::invalid_argument&) {
        shown.clear();  // a date out of Excel's range: only "#" fits
    }
    const auto w = widths_.find(col);
    const double width = w == widths_.end() ? kStandardColumnWidth : w->second;
    const auto room = static_cast<size_t>(std::max(1.0, std::floor(width)));
    if (!shown.empty() && shown.size() <= room) return shown;
    return std::u16string(room, u'#');
}

ChartSheet::ChartSheet(std::u16string name) : Object(u"Chart"), name_(std::move(name)) {
    implements(kIidChart);
    property(u"Name", [this](const Params&) { return Value{name_}; });
}

ChartObject::ChartObject() : Object(u"ChartObject") {
    property(u"Name", [](const Params&) { return Value{std::u16string(u"Chart 1")}; });
}

Range::Range(std::shared_ptr<Worksheet> sheet, std::vector<CellRect> areas)
    : Object(u"Range"), sheet_(std::move(sheet)), areas_(std::move(areas)) {
    implements(kIidRange);
    property(
        u"Address",
        [this](const Params& p) {
            return Value{address(toInt(paramOr(p, 2, int32_t{kXlA1})) == kXlR1C1)};
        },
        {}, {u"RowAbsolute", u"ColumnAbsolute", u"ReferenceStyle", u"External", u"RelativeTo"},
        0xEC);
    property(
        u"Text", [this](const Params&) { return text(); }, {}, {}, 0x8A);
    property(u"Value2", [this](const Params&) { return value2(); });
    property(u"NumberFormat", [this](const Params&) { return numberFormat(); });
    property(u"Row", [this](const Params&) { return Value{areas_.front().firstRow}; });
    property(u"Column", [this](const Params&) { return Value{areas_.front().firstCol}; });
    property(
        u"Item",
        [this](const Params& p) {
            const CellRect& a = areas_.front();
            int64_t row = 0, col = 0;
            if (p.size() > 1 && p[1]) {
                row = a.firstRow + int64_t{toInt(param(p, 0))} - 1;
                col = a.firstCol + int64_t{toInt(param(p, 1))} - 1;
            } else {
                // One index counts the cells along the rows, then down.
                const int64_t n = int64_t{toInt(param(p, 0))} - 1;
                const int64_t width = a.lastCol - a.firstCol + 1;
                if (n < 0) xlError(u"Application-defined or object-defined error");
                row = a.firstRow + n / width;
                col = a.firstCol + n % width;
            }
            if (row < 1 || row > kExcelRows || col < 1 || col > kExcelColumns)
                xlError(u"Application-defined or object-defined error");
            const auto r = static_cast<int32_t>(row);
            const auto c = static_cast<int32_t>(col);
            return Value{
                ObjectRef(std::make_shared<Range>(sheet_, std::vector<CellRect>{{r, r, c, c}}))};
        },
        {}, {u"RowIndex", u"ColumnIndex"}, 0xAA);
    property(u"Areas", [this](const Params&) {
        return Value{ObjectRef(std::make_shared<Areas>(sheet_, areas_))};
    });
    property(u"Count", [this](const Params&) {
        int64_t cells = 0;
        for (const auto& a : areas_)
            cells += int64_t(a.lastRow - a.firstRow + 1) * (a.lastCol - a.firstCol + 1);
        return Value{static_cast<int32_t>(std::min<int64_t>(cells, INT32_MAX))};
    });
}

Value Range::text() const {
    // One cell: its displayed text. Several: the common text, or Null.
    const CellRect& a = areas_.front();
    if (sheet_->fails(a.firstRow, a.firstCol))
        xlError(u"Unable to get the Text property of the Range class");
    const std::u16string first = sheet_->text(a.firstRow, a.firstCol);
    if (areas_.size() == 1 && a.firstRow == a.lastRow && a.firstCol == a.lastCol)
        return Value{first};
    const int64_t cells = int64_t(a.lastRow - a.firstRow + 1) * (a.lastCol - a.firstCol + 1);
    if (areas_.size() > 1 || cells > 100000) return Value{automation::Null{}};
    for (int32_t r = a.firstRow; r <= a.lastRow; ++r)
        for (int32_t c = a.firstCol; c <= a.lastCol; ++c)
            if (sheet_->text(r, c) != first) return Value{automation::Null{}};
    return Value{first};
}

Value Range::value2() const {
    const CellRect& a = areas_.front();
    if (areas_.size() > 1 || a.firstRow != a.lastRow || a.firstCol != a.lastCol)
        xlError(u"The emulator gives Value2 of a single cell only");
    const CellValue v = sheet_->value(a.firstRow, a.firstCol);
    if (v.kind != CellValue::Kind::Text) return Value{v.number};  // a date as its serial
    if (v.text.empty()) return Value{automation::Empty{}};
    return Value{v.text};
}

Value Range::numberFormat() const {
    // One format for all the cells, or Null.
    const CellRect& a = areas_.front();
    const std::u16string first = sheet_->value(a.firstRow, a.firstCol).numberFormat;
    const int64_t cells = int64_t(a.lastRow - a.firstRow + 1) * (a.lastCol - a.firstCol + 1);
    if (areas_.size() > 1 || cells > 100000) return Value{automation::Null{}};
    for (int32_t r = a.firstRow; r <= a.lastRow; ++r)
        for (int32_t c = a.firstCol; c <= a.lastCol; ++c)
            if (sheet_->value(r, c).numberFormat != first) return Value{automation::Null{}};
    return Value{first};
}

std::u16string Range::address(bool r1c1) const {
    std::u16string out;
    for (const auto& a : areas_) {
        if (!out.empty()) out += u",";
        out += areaAddress(a, r1c1);
    }
    return out;
}

Areas::Areas(std::shared_ptr<Worksheet> sheet, std::vector<CellRect> areas)
    : Object(u"Areas"), sheet_(std::move(sheet)), areas_(std::move(areas)) {
    implements(kIidAreas);
    property(u"Count",
             [this](const Params&) { return Value{static_cast<int32_t>(areas_.size())}; });
    property(
        u"Item",
        [this](const Params& p) {
            const int32_t i = toInt(param(p, 0));
            if (i < 1 || i > static_cast<int32_t>(areas_.size()))
                xlError(u"Application-defined or object-defined error");
            return area(static_cast<size_t>(i - 1));
        },
        {}, {u"Index"}, 0xAA);
    enumerableAs([this] {
        std::vector<Value> all;
        for (size_t i = 0; i < areas_.size(); ++i) all.push_back(area(i));
        return all;
    });
}

Value Areas::area(size_t i) const {
    return Value{ObjectRef(std::make_shared<Range>(sheet_, std::vector<CellRect>{areas_[i]}))};
}

WorksheetFunction::WorksheetFunction() : Object(u"WorksheetFunction") {
    method(u"Text", {u"Arg1", u"Arg2"}, [](const Params& p) -> Value {
        const Value arg = param(p, 0);
        const std::u16string format = toText(param(p, 1));
        double number = 0;
        if (auto* text = std::get_if<std::u16string>(&arg)) return Value{*text};
        if (auto* d = std::get_if<double>(&arg)) {
            number = *d;
        } else if (auto* i = std::get_if<int32_t>(&arg)) {
            number = *i;
        } else if (auto* date = std::get_if<automation::Date>(&arg)) {
            number = date->oleDate < 61 ? date->oleDate - 1 : date->oleDate;
        } else if (!std::holds_alternative<automation::Empty>(arg)) {
            xlError(u"Unable to get the Text property of the WorksheetFunction class");
        }
        try {
            return Value{formatNumber(number, format)};
        } catch (const std::invalid_argument&) {
            xlError(u"Unable to get the Text property of the WorksheetFunction class");
        }
    });
}

ExcelApplication::ExcelApplication(ObjectRef commandBars, const HostOptions& options,
                                   ObjectRef activeSheet, ObjectRef selection)
    : Application(HostKind::Excel, std::move(commandBars), options),
      activeSheet_(std::move(activeSheet)),
      selection_(std::move(selection)) {
    property(
        u"ActiveSheet", [this](const Params&) { return Value{activeSheet_}; }, {}, {}, 0x133);
    property(
        u"Selection", [this](const Params&) { return Value{selection_}; }, {}, {}, 0x93);
    property(u"WorksheetFunction",
             [](const Params&) { return Value{ObjectRef(std::make_shared<WorksheetFunction>())}; });
}

std::shared_ptr<ExcelApplication> makeExcelApplication(ObjectRef commandBars,
                                                       const HostOptions& options,
                                                       const ExcelSetup& setup) {
    ObjectRef sheet;
    ObjectRef selection;
    if (setup.noWorkbook) {
        // ActiveSheet and Selection are Nothing then.
    } else if (setup.chartSheet) {
        sheet = std::make_shared<ChartSheet>(setup.sheetName);
        selection = std::make_shared<ChartObject>();
    } else {
        auto worksheet = std::make_shared<Worksheet>(setup.sheetName);
        for (const auto& [name, text] : setup.cells) {
            const auto [row, col] = parseA1Cell(name);
            worksheet->setText(row, col, text);
        }
        for (const auto& [name, value] : setup.valueCells) {
            const auto [row, col] = parseA1Cell(name);
            worksheet->setValue(row, col, value);
        }
        for (const auto& [col, width] : setup.columnWidths) worksheet->setColumnWidth(col, width);
        if (setup.chartSelected)
            selection = std::make_shared<ChartObject>();
        else
            selection = std::make_shared<Range>(
                worksheet, parseA1Selection(setup.selection.empty() ? u"A1" : setup.selection));
        sheet = worksheet;
    }
    return std::make_shared<ExcelApplication>(std::move(commandBars), options, std::move(sheet),
                                              std::move(selection));
}

}  // namespace torva::model
