#include "Excel.h"

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <string>

namespace torva::model {

namespace {

std::u16string number(int32_t n) {
    const std::string s = std::to_string(n);
    return {s.begin(), s.end()};
}

std::u16string columnLetters(int32_t col) {
    std::u16string letters;
    for (; col > 0; col = (col - 1) / 26)
        letters.insert(letters.begin(), char16_t(u'A' + (col - 1) % 26));
    return letters;
}

bool isLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

[[noreturn]] void bad(std::u16string_view text) {
    throw std::invalid_argument("not an A1 reference: " + std::string(text.begin(), text.end()));
}

// Letters, digits, or both, of one end of a reference; 0 stands for absent.
std::pair<int32_t, int32_t> parseEnd(std::u16string_view text) {
    size_t i = 0;
    int64_t col = 0, row = 0;
    while (i < text.size() && isLetter(text[i])) {
        col = col * 26 + ((text[i] | 0x20) - u'a' + 1);
        if (col > kExcelColumns) bad(text);
        ++i;
    }
    const size_t digitsFrom = i;
    while (i < text.size() && isDigit(text[i])) {
        row = row * 10 + (text[i] - u'0');
        if (row > kExcelRows) bad(text);
        ++i;
    }
    if (i != text.size() || (col == 0 && row == 0) || (i > digitsFrom && row == 0)) bad(text);
    return {static_cast<int32_t>(row), static_cast<int32_t>(col)};
}

CellRect parseArea(std::u16string_view text) {
    const auto colon = text.find(u':');
    const auto a = parseEnd(text.substr(0, colon));
    const auto b = colon == std::u16string_view::npos ? a : parseEnd(text.substr(colon + 1));
    const bool rowsOnly = a.second == 0 && b.second == 0;
    const bool colsOnly = a.first == 0 && b.first == 0;
    if ((a.first == 0) != (b.first == 0) || (a.second == 0) != (b.second == 0)) bad(text);
    if ((rowsOnly || colsOnly) && colon == std::u16string_view::npos)
        bad(text);  // "C" or "5" alone
    CellRect r{};
    r.firstRow = colsOnly ? 1 : std::min(a.first, b.first);
    r.lastRow = colsOnly ? kExcelRows : std::max(a.first, b.first);
    r.firstCol = rowsOnly ? 1 : std::min(a.second, b.second);
    r.lastCol = rowsOnly ? kExcelColumns : std::max(a.second, b.second);
    return r;
}

}  // namespace

std::vector<CellRect> parseA1Selection(std::u16string_view text) {
    std::vector<CellRect> areas;
    size_t start = 0;
    for (;;) {
        const auto comma = text.find(u',', start);
        areas.push_back(parseArea(text.substr(start, comma - start)));
        if (comma == std::u16string_view::npos) break;
        start = comma + 1;
    }
    return areas;
}

std::pair<int32_t, int32_t> parseA1Cell(std::u16string_view name) {
    const auto p = parseEnd(name);
    if (p.first == 0 || p.second == 0) bad(name);
    return p;
}

std::u16string areaAddress(const CellRect& a, bool r1c1) {
    const bool wholeColumns = a.firstRow == 1 && a.lastRow == kExcelRows;
    const bool wholeRows = a.firstCol == 1 && a.lastCol == kExcelColumns;
    if (r1c1) {
        if (wholeRows || wholeColumns) {
            // Excel names the whole sheet by its rows.
            const bool rows = wholeRows;
            const char16_t* kind = rows ? u"R" : u"C";
            const int32_t first = rows ? a.firstRow : a.firstCol;
            const int32_t last = rows ? a.lastRow : a.lastCol;
            return first == last ? kind + number(first)
                                 : kind + number(first) + u":" + kind + number(last);
        }
        const auto cell = [](int32_t r, int32_t c) { return u"R" + number(r) + u"C" + number(c); };
        if (a.firstRow == a.lastRow && a.firstCol == a.lastCol) return cell(a.firstRow, a.firstCol);
        return cell(a.firstRow, a.firstCol) + u":" + cell(a.lastRow, a.lastCol);
    }
    if (wholeRows) return u"$" + number(a.firstRow) + u":$" + number(a.lastRow);
    if (wholeColumns) return u"$" + columnLetters(a.firstCol) + u":$" + columnLetters(a.lastCol);
    const auto cell = [](int32_t r, int32_t c) {
        return u"$" + columnLetters(c) + u"$" + number(r);
    };
    if (a.firstRow == a.lastRow && a.firstCol == a.lastCol) return cell(a.firstRow, a.firstCol);
    return cell(a.firstRow, a.firstCol) + u":" + cell(a.lastRow, a.lastCol);
}

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
    if (text.empty())
        cells_.erase({row, col});
    else
        cells_[{row, col}] = std::move(text);
}

const std::u16string& Worksheet::text(int32_t row, int32_t col) const {
    static const std::u16string empty;
    const auto it = cells_.find({row, col});
    return it == cells_.end() ? empty : it->second;
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
    property(u"Row", [this](const Params&) { return Value{areas_.front().firstRow}; });
    property(u"Column", [this](const Params&) { return Value{areas_.front().firstCol}; });
    property(
        u"Item",
        [this](const Params& p) {
            const CellRect& a = areas_.front();
            const int32_t row = a.firstRow + toInt(param(p, 0)) - 1;
            const int32_t col = a.firstCol + toInt(param(p, 1)) - 1;
            if (row < 1 || row > kExcelRows || col < 1 || col > kExcelColumns)
                throw automation::Error(automation::kEFail,
                                        u"Application-defined or object-defined error");
            return Value{ObjectRef(
                std::make_shared<Range>(sheet_, std::vector<CellRect>{{row, row, col, col}}))};
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
        throw automation::Error(automation::kEFail,
                                u"Unable to get the Text property of the Range class");
    const std::u16string& first = sheet_->text(a.firstRow, a.firstCol);
    if (areas_.size() == 1 && a.firstRow == a.lastRow && a.firstCol == a.lastCol)
        return Value{first};
    const int64_t cells = int64_t(a.lastRow - a.firstRow + 1) * (a.lastCol - a.firstCol + 1);
    if (areas_.size() > 1 || cells > 100000) return Value{automation::Null{}};
    for (int32_t r = a.firstRow; r <= a.lastRow; ++r)
        for (int32_t c = a.firstCol; c <= a.lastCol; ++c)
            if (sheet_->text(r, c) != first) return Value{automation::Null{}};
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
                throw automation::Error(automation::kEFail,
                                        u"Application-defined or object-defined error");
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

ExcelApplication::ExcelApplication(ObjectRef commandBars, const HostOptions& options,
                                   ObjectRef activeSheet, ObjectRef selection)
    : Application(HostKind::Excel, std::move(commandBars), options),
      activeSheet_(std::move(activeSheet)),
      selection_(std::move(selection)) {
    property(
        u"ActiveSheet", [this](const Params&) { return Value{activeSheet_}; }, {}, {}, 0x133);
    property(
        u"Selection", [this](const Params&) { return Value{selection_}; }, {}, {}, 0x93);
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
