#include "Excel.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
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

[[noreturn]] void xlError(std::u16string description) {
    throw automation::Error(kXlErrorHResult, std::move(description));
}

std::u16string ascii(const std::string& s) { return {s.begin(), s.end()}; }

// Days since 1 March of year 0 in the proleptic Gregorian calendar, and back.
int64_t daysOf(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy;
}

void dayOf(int64_t days, int& y, int& m, int& d) {
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// Serial 0 is Excel's "0 January 1900"; 2958465 is 31 December 9999.
constexpr double kLastSerial = 2958465;

void dateOfSerial(double serial, int& y, int& m, int& d) {
    const int64_t s = static_cast<int64_t>(std::floor(serial));
    if (s == 0) {
        y = 1900, m = 1, d = 0;
    } else if (s == 60) {
        y = 1900, m = 2, d = 29;  // the day Excel counts and the calendar does not
    } else {
        dayOf(daysOf(1899, 12, 30) + (s < 60 ? s + 1 : s), y, m, d);
    }
}

std::u16string twoDigits(int n) { return {char16_t(u'0' + n / 10 % 10), char16_t(u'0' + n % 10)}; }

// Round half away from zero to `decimals` places, as Excel's formats do.
std::string fixed(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(std::abs(value) * scale) / scale;
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, rounded);
    return (value < 0 && rounded != 0 ? "-" : "") + std::string(buf);
}

std::string general(double value) {
    if (value == std::floor(value) && std::abs(value) < 1e11) return fixed(value, 0);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10G", value);
    return buf;
}

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

double excelSerialOf(int year, int month, int day) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1)
        throw std::invalid_argument("not a day Excel holds");
    if (year == 1900 && month == 2 && day == 29) return 60;
    if (day > kDays[month - 1] + (month == 2 && leap))
        throw std::invalid_argument("not a day of the calendar");
    const int64_t ole = daysOf(year, month, day) - daysOf(1899, 12, 30);
    return static_cast<double>(ole < 61 ? ole - 1 : ole);
}

bool knownNumberFormat(std::u16string_view f) {
    return f == u"General" || f == u"0" || f == u"0.00" || f == u"#,##0" || f == u"dd.mm.yyyy" ||
           f == u"yyyy-mm-dd" || f == u"@";
}

std::u16string formatNumber(double value, std::u16string_view f) {
    if (f == u"General" || f == u"@") return ascii(general(value));
    if (f == u"0") return ascii(fixed(value, 0));
    if (f == u"0.00") return ascii(fixed(value, 2));
    if (f == u"#,##0") {
        std::string digits = fixed(value, 0);
        const size_t first = digits[0] == '-' ? 1 : 0;
        for (size_t at = digits.size(); at > first + 3; at -= 3) digits.insert(at - 3, ",");
        return ascii(digits);
    }
    if (f == u"dd.mm.yyyy" || f == u"yyyy-mm-dd") {
        if (value < 0 || value >= kLastSerial + 1)
            throw std::invalid_argument("no date has that serial number");
        int y = 0, m = 0, d = 0;
        dateOfSerial(value, y, m, d);
        const std::u16string year = twoDigits(y / 100) + twoDigits(y % 100);
        return f == u"dd.mm.yyyy" ? twoDigits(d) + u"." + twoDigits(m) + u"." + year
                                  : year + u"-" + twoDigits(m) + u"-" + twoDigits(d);
    }
    throw std::invalid_argument("a number format the emulator does not know");
}

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
