// Excel's cell references: A1-style names and selections as a user types
// them, and the addresses Excel gives back in A1 or R1C1 style.

#include <algorithm>
#include <stdexcept>
#include <string>

#include "Excel.h"

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

}  // namespace torva::model
