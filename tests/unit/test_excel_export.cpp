#include "Excel.h"
#include "excel_export/modExcelExport.h"
#include "host/ConnectClass.h"
#include "support/modStringTables.h"
#include "test_support_helpers.h"

using namespace torva;
using namespace torva::model;

namespace {

using Cells = std::vector<std::pair<std::u16string, std::u16string>>;  // A1 name, text

// The export's bytes from UTF-8 lines.
std::string exportBytes(const std::vector<std::string>& lines) {
    std::vector<std::u16string> text;
    for (const auto& line : lines) text.push_back(fromUtf8(line));
    return torva::testing::exportFileBytes(text);
}

// A cell's value in its number format, and a cell that shows a text.
CellValue valued(double n, std::u16string format, CellValue::Kind kind = CellValue::Kind::Number) {
    return {kind, n, u"", std::move(format)};
}
CellValue shows(std::u16string text) { return {CellValue::Kind::Text, 0, std::move(text)}; }

class ExcelExport : public torva::testing::SupportFolder {
  protected:
    void SetUp() override {
        SupportFolder::SetUp();
        torva::testing::writeStringFile(dir / "Torva.Sys",
                                        u"0923 Mindestens zwei Zeilen und Spalten markieren\r\n"
                                        u"0924 Kein Tabellenblatt\r\n"
                                        u"0925 Nur bis Zeile %1\r\n"
                                        u"0926 Ab Spalte %1 Namen\r\n"
                                        u"0927 Nicht in %1: %2\r\n"
                                        u"0928 Excel sagt: %1\r\n"
                                        u"2300 Plakora Hinweis\r\n");
        (void)LoadStringTable();
    }
    // Runs the export into a fresh file; the file's bytes, or nullopt.
    std::optional<std::string> run(const ExcelSetup& setup) {
        const std::u16string file = path("export.tmp");
        // One state for the test's exports: each export and analysis starts
        // afresh all the same, whatever an earlier one left in it.
        ok = exportSelection(file, makeExcelApplication(nullptr, {}, setup), last);
        if (!std::filesystem::exists(dir / "export.tmp")) return std::nullopt;
        return read(dir / "export.tmp");
    }
    static ExcelSetup sheet(std::u16string selection, Cells cells = {}) {
        ExcelSetup s;
        s.selection = std::move(selection);
        s.cells = std::move(cells);
        return s;
    }
    // The cells A1.. of one column filled down to row `rows`.
    static Cells column(const std::u16string& col, int rows) {
        Cells cells;
        for (int r = 1; r <= rows; ++r) {
            const std::u16string n = fromUtf8(std::to_string(r));
            cells.emplace_back(col + n, u"v" + n);
        }
        return cells;
    }
    size_t notices() const { return platform::posix::recorder().messageBoxes.size(); }
    bool ok = false;
    ExcelExportState last;
};

}  // namespace

// Selections of one cell, row or column, a chart or none get the notice 0923
// and no log entry; every export that fails tells the user why, in its own
// words, and writes one log entry. Neither leaves a file or an Excel object.
TEST_F(ExcelExport, EachRefusedOrFailedExportEndsInItsNoticeAndLeavesNoFile) {
    ExcelSetup chart = sheet(u"A1:B2"), closed = sheet(u"A1:B2"), chartSheet = sheet(u"A1:B2");
    chart.chartSelected = true;
    closed.noWorkbook = true;  // no active sheet and no selection, so no range either
    chartSheet.chartSheet = true;
    const std::u16string missing = fromUtf8((dir / "gone").string());
    const std::u16string select = u"Mindestens zwei Zeilen und Spalten markieren";
    const std::string past600 =
        " ### Excel export: the selection reaches past row 600: Subscript out of range";
    // Export into `file` (the working folder's x.tmp where empty); `failingRow`:
    // reading a cell of column B there fails.
    const struct {
        const char* name;
        ExcelSetup setup;
        std::u16string file;
        int32_t failingRow;
        std::u16string notice;
        std::string logLine;  // none where empty
    } cases[] = {
        {"cell", sheet(u"B5"), u"", 0, select, ""},
        {"row", sheet(u"A1:D1"), u"", 0, select, ""},
        {"column", sheet(u"A1:A10"), u"", 0, select, ""},
        {"whole column", sheet(u"C:C", column(u"C", 5)), u"", 0, select, ""},
        {"chart", chart, u"", 0, select, ""},
        {"no workbook", closed, u"", 0, select, ""},
        {"chart sheet", chartSheet, u"", 0, u"Kein Tabellenblatt",
         " ### Excel export: the active sheet is not a worksheet: "},
        {"whole sheet", sheet(u"A:XFD", {{u"A1", u"h"}}), u"", 0, u"Nur bis Zeile 600", past600},
        {"rows 1 to 700", sheet(u"1:700"), u"", 0, u"Nur bis Zeile 600", past600},
        {"row 601", sheet(u"A599:B601"), u"", 0, u"Nur bis Zeile 600", past600},
        {"192 empty header cells", sheet(u"A1:GJ2"), u"", 0, u"Ab Spalte 192 Namen",
         " ### Excel export: the header row runs past the last letter code: "
         "Invalid procedure call or argument"},
        {"Text fails mid-export", sheet(u"A1:B4", {{u"A1", u"h"}, {u"A2", u"one"}}), u"", 3,
         u"Excel sagt: Unable to get the Text property of the Range class",
         " ### Excel export: Excel refused a call: "
         "Unable to get the Text property of the Range class"},
        {"folder gone", sheet(u"A1:B2"), missing + u"\\x.tmp", 0, u"Nicht in " + missing + u": ",
         " ### Excel export: the export file could not be written: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::posix::recorder().messageBoxes.clear();
        std::filesystem::remove(dir / "torva.log");
        const long live = counters().liveObjects;
        {
            auto app = makeExcelApplication(nullptr, {}, c.setup);
            if (c.failingRow) {
                std::static_pointer_cast<Worksheet>(automation::asObject(app->get(u"ActiveSheet")))
                    ->failAt(c.failingRow, 2);
            }
            // As the action exports: the state goes with the export.
            EXPECT_FALSE(exportSelection(c.file.empty() ? path("x.tmp") : c.file, app));
        }
        EXPECT_EQ(counters().liveObjects, live) << "an Excel object outlived the export";
        // The folder's notice goes on with the system's reason. Outside a press
        // there is no owner: task-modal.
        torva::testing::expectOneNotice(c.notice, u"Plakora Hinweis", 0, 64u | 0x2000u,
                                        c.file.empty());
        const std::string log = read(dir / "torva.log");
        EXPECT_NE(log.find(c.logLine), std::string::npos) << log;
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), c.logLine.empty() ? 0 : 1) << log;
        EXPECT_EQ(files(),
                  (c.logLine.empty() ? std::vector<std::string>{"Torva.Sys"}
                                     : std::vector<std::string>{"Torva.Sys", "torva.log"}));
    }
    // Row 600 itself is still flagged; 191 empty header cells fit, the 192nd
    // would need code 256.
    EXPECT_TRUE(run(sheet(u"A599:B600")).has_value() && ok);
    EXPECT_TRUE(run(sheet(u"A1:GI2")).has_value() && ok);
}

// The block's bounds: two areas in either order; areas right of column 5000
// start it at 5000. Whole columns scan down to a high-water mark capped at
// 300, whole rows along the first row capped at 250 (the second scan looks
// one cell further); an empty first cell ends the scan at 0; each export
// scans afresh.
TEST_F(ExcelExport, TheSelectionsBoundsFollowAreasAndScans) {
    auto cells = column(u"C", 10), deep = column(u"A", 400);
    for (auto& cell : column(u"E", 4)) cells.push_back(cell);  // E continues from row 10
    for (auto& cell : column(u"B", 400)) deep.push_back(cell);
    Cells wide;
    for (int c = 1; c <= 260; ++c) {
        std::u16string name;
        for (int n = c; n > 0; n = (n - 1) / 26) name.insert(name.begin(), u'A' + (n - 1) % 26);
        wide.emplace_back(name + u"1", u"h");
        wide.emplace_back(name + u"2", u"d");
    }
    const struct {
        std::u16string selection;
        Cells cells;
        RangeBounds bounds;
    } cases[] = {
        {u"A1:B3,D5:E6", {}, {1, 6, 1, 5}},
        {u"D5:E6,A1:B3", {}, {1, 6, 1, 5}},
        {u"GJI1:GJJ2,GJK1:GJK2", {}, {1, 2, 5000, 5003}},
        {u"C:E", cells, {1, 10, 3, 5}},
        {u"A:B", deep, {1, 301, 1, 2}},
        {u"F:G", {}, {1, 0, 6, 7}},
        {u"1:2", wide, {1, 2, 1, 251}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.selection));
        // An empty block (no rows) still exports.
        ASSERT_TRUE(run(sheet(c.selection, c.cells)).has_value());
        EXPECT_EQ(last.selectionBounds, c.bounds);
        for (int r = 1; c.selection.size() == 11 && r <= 6; ++r)
            EXPECT_EQ(last.rowSelected[r], r != 4) << "row " << r;
    }
    const auto bytes =
        run(sheet(u"2:4", {{u"A2", u"a"}, {u"B2", u"b"}, {u"C2", u"c"}, {u"B3", u"x"}}));
    EXPECT_EQ(last.selectionBounds, (RangeBounds{2, 4, 1, 3}));
    EXPECT_EQ(bytes, exportBytes({"a\tb\tc", "\tx\t", "\t\t"}));
}

// Rows between areas are left out, columns between them exported; flags of
// the export before are cleared. Header letters count from the block's first
// column and run on past Z through the ANSI code page (column 27 is "[",
// column 64 the code 128: the euro sign in Windows-1252); numbers get a
// prefix in the header only; only blanks are trimmed, at both ends (not tabs,
// not inside); line breaks stay.
TEST_F(ExcelExport, TheFileHoldsTheBlockAsItsRulesSay) {
    const auto eight = column(u"A", 8);
    std::string letters;
    for (int code = 65; code < 128; ++code) letters += std::string{static_cast<char>(code), '\t'};
    const struct {
        std::u16string selection;
        Cells cells;
        std::vector<std::string> lines;
    } cases[] = {
        {u"A1:B3,A6:B8", eight, {"v1\tB", "v2\t", "v3\t", "v6\t", "v7\t", "v8\t"}},
        {u"A1:B1,A5:B8", eight, {"v1\tB", "v5\t", "v6\t", "v7\t", "v8\t"}},
        {u"A1:A2,C1:C2", {{u"B2", u"between"}}, {"A\tB\tC", "\tbetween\t"}},
        {u"C1:F2",
         {{u"D1", u"2003"}, {u"F1", u"  two words "}, {u"D2", u"2003"}, {u"C2", u" x"}},
         {"A\tF_2003\tC\ttwo words", "x\t2003\t\t"}},
        {u"A1:B2", {{u"A1", u"1,5"}, {u"B1", u"1.5e3"}}, {"F_1,5\tF_1.5e3", "\t"}},
        {u"A1:B2",
         {{u"A1", u"h"}, {u"A2", u" \ttwo\nlines\t "}, {u"B2", u"a\tb"}},
         {"h\tB", "\ttwo\nlines\t\ta\tb"}},
        {u"A1:BL2", {}, {letters + "\u20AC", std::string(63, '\t')}},
    };
    for (const auto& c : cases) EXPECT_EQ(run(sheet(c.selection, c.cells)), exportBytes(c.lines));
}

// A number or date too wide for its column shows "#" only; the export asks
// Excel for what a wide column shows (Value2 in its NumberFormat through
// WorksheetFunction.Text). A text of "#" stays; where Excel refuses, the
// field is what the cell shows. Calls counted against the same sheet with a
// plain text in B2: a cell that shows only "#" costs Value2, then for a
// number NumberFormat and Text, plus WorksheetFunction once per export.
TEST_F(ExcelExport, CellsShowingOnlyHashesExportWhatAWideColumnShows) {
    using Cells = std::vector<std::pair<std::u16string, CellValue>>;  // B: 4 characters wide
    const auto date = CellValue::Kind::Date;
    const struct {
        const char* name;
        Cells cells;
        std::string b2;  // the field exported for B2
        long extraCalls;
        std::string header = "Name\tWert";
    } cases[] = {
        {"postcode", {{u"B2", valued(80331, u"0")}}, "80331", 4},
        {"date 05.01.1980", {{u"B2", valued(29225, u"dd.mm.yyyy", date)}}, "05.01.1980", 4},
        {"grouped", {{u"B2", valued(1234567.4, u"#,##0")}}, "1,234,567", 4},
        {"two cells, one WorksheetFunction",
         {{u"B2", valued(80331, u"0")}, {u"B1", valued(2026.5, u"0.00")}},
         "80331",
         7,
         "Name\tF_2026.50"},
        {"text of hashes", {{u"B2", shows(u"###")}}, "###", 1},
        {"fits", {{u"B2", valued(12, u"0")}}, "12", 0},
        {"empty", {}, "", 0},
        {"text with a #", {{u"B2", shows(u"#12")}}, "#12", 0},
        // A format Excel's TEXT refuses: the cell's "####" goes out.
        {"Text fails", {{u"B2", valued(5, u"0.0%")}}, "####", 4},
    };
    const auto setup = [](Cells cells) {
        ExcelSetup s = sheet(u"A1:B2", {{u"A1", u"Name"}, {u"B1", u"Wert"}, {u"A2", u"x"}});
        s.valueCells = std::move(cells);
        s.columnWidths = {{2, 4}};
        return s;
    };
    long before = counters().calls;
    ASSERT_TRUE(run(setup({{u"B2", shows(u"plain")}})).has_value());
    const long base = counters().calls - before;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        before = counters().calls;
        EXPECT_EQ(run(setup(c.cells)), exportBytes({c.header, "x\t" + c.b2}));
        EXPECT_EQ(counters().calls - before - base, c.extraCalls);
        EXPECT_TRUE(ok);
        EXPECT_EQ(notices(), 0u);
    }
}

// The emulated Excel that the export is tested against counts days as Excel
// does (serial 60 is the 29 February 1900 that never was) and shows numbers
// too wide for their column as "#"; its failures carry Excel's 0x800A03EC.
TEST(EmulatedExcel, CountsDaysFormatsAndShowsHashesAsExcel) {
    using automation::Arg;
    const struct {
        int y, m, d;
        double serial;
        const char16_t* dotted;
    } days[] = {{1900, 1, 1, 1, u"01.01.1900"},        {1900, 2, 28, 59, u"28.02.1900"},
                {1900, 2, 29, 60, u"29.02.1900"},      {1900, 3, 1, 61, u"01.03.1900"},
                {1980, 1, 5, 29225, u"05.01.1980"},    {2000, 2, 29, 36585, u"29.02.2000"},
                {9999, 12, 31, 2958465, u"31.12.9999"}};
    for (const auto& d : days) {
        EXPECT_EQ(excelSerialOf(d.y, d.m, d.d), d.serial) << d.y << "-" << d.m << "-" << d.d;
        EXPECT_EQ(formatNumber(d.serial + 0.75, u"dd.mm.yyyy"), d.dotted);
    }
    EXPECT_EQ(formatNumber(29225, u"yyyy-mm-dd"), u"1980-01-05");
    EXPECT_THROW(excelSerialOf(1899, 12, 31), std::invalid_argument);
    EXPECT_THROW(excelSerialOf(1901, 2, 29), std::invalid_argument);
    const struct {
        double value;
        const char16_t* format;
        const char16_t* text;
    } numbers[] = {{80331, u"0", u"80331"},
                   {2.5, u"0", u"3"},
                   {-2.5, u"0", u"-3"},
                   {1234.5, u"0.00", u"1234.50"},
                   {-1234567, u"#,##0", u"-1,234,567"},
                   {999, u"#,##0", u"999"},
                   {0.5, u"General", u"0.5"},
                   {80331, u"@", u"80331"}};
    for (const auto& n : numbers) EXPECT_EQ(formatNumber(n.value, n.format), n.text) << n.value;

    ExcelSetup setup;
    setup.selection = u"A1:C2";
    const CellValue postcode = valued(80331, u"0"), text = shows(u"a text wider than its column");
    setup.valueCells = {{u"A1", postcode}, {u"B1", postcode}, {u"C1", text}};
    setup.columnWidths = {{1, 4.9}, {3, 2}};
    auto excel = makeExcelApplication(nullptr, {}, setup);
    const auto cells =
        automation::asObject(automation::asObject(excel->get(u"ActiveSheet"))->get(u"Cells"));
    const auto shown = [&](int32_t r, int32_t c) {
        return automation::asString(
            automation::asObject(cells->get(u"Item", {Arg(r), Arg(c)}))->get(u"Text"));
    };
    EXPECT_EQ(shown(1, 1), u"####");   // 4.9 characters hold four
    EXPECT_EQ(shown(1, 2), u"80331");  // 8.43 by default
    EXPECT_EQ(shown(1, 3), text.text);
    // One index counts along the rows: the sheet's second cell is B1.
    const auto second = automation::asObject(cells->get(u"Item", {Arg(2)}));
    EXPECT_EQ(automation::asString(second->get(u"Text")), u"80331");
    EXPECT_EQ(std::get<double>(second->get(u"Value2")), 80331);
    try {
        cells->get(u"Item", {Arg(0), Arg(1)});
        ADD_FAILURE() << "row 0 answered";
    } catch (const automation::Error& e) {
        EXPECT_EQ(static_cast<uint32_t>(e.hresult()), 0x800A03ECu);
    }
}

// The button in Excel: an export named in the working folder, then run mode 3
// on that file.
TEST_F(ExcelExport, ClickLaunchesRunModeThreeOnTheExportInTheWorkingFolder) {
    write(dir / "plakora.exe", "MZ");
    TorvaExcelConnect addin;
    addin.ExcelInstance(
        makeExcelApplication(nullptr, {}, sheet(u"A1:B2", {{u"A1", u"Name"}, {u"A2", u"x"}})));
    addin.myMenuButton_Click();
    const auto& launches = platform::posix::recorder().shellCalls;
    ASSERT_EQ(launches.size(), 1u);
    std::string exportName;
    for (const auto& name : files())
        if (name != launches[0].parameters && name.starts_with("rad")) exportName = name;
    EXPECT_EQ(read(dir / exportName), exportBytes({"Name\tB", "x\t"}));
    EXPECT_EQ(notices(), 0u);
    EXPECT_EQ(read(dir / launches[0].parameters),
              "[PLAKORA]\r\nRUNMODE=3\r\nDBFILE=" + dir.string() + "\\" + exportName +
                  "\r\nDBCONNECT=\r\nDBSQL=\r\n");

    // Where plakora.exe cannot be started, the export it was for goes too.
    platform::posix::recorder().shellResult = 2;
    addin.myMenuButton_Click();
    EXPECT_EQ(launches.size(), 2u);
    std::vector<std::string> left{"Torva.Sys", exportName, launches[0].parameters, "plakora.exe",
                                  "torva.log"};
    std::sort(left.begin(), left.end());
    EXPECT_EQ(files(), left);
}

TEST(SelectionAnalysis, ReferencesFollowExcelsR1C1ShapesNumbersTheLocale) {
    ExcelExportState xl;
    EXPECT_EQ(parseAddress(xl, u"R5C2"), (RangeBounds{5, 5, 2, 2}));
    EXPECT_EQ(parseAddress(xl, u"R2C1:R10C4"), (RangeBounds{2, 10, 1, 4}));
    EXPECT_EQ(parseAddress(xl, u"R12C3:R2C1"), (RangeBounds{2, 12, 1, 3}));
    EXPECT_EQ(mergeBounds({5000, 0, 5000, 0}, {7, 9, 5001, 5002}), (RangeBounds{7, 9, 5000, 5002}));
    EXPECT_THROW(parseCellRef(xl, u"RxC1"), Error);
    // Numbers are read as the locale writes them.
    for (const auto* n : {u"2003", u"-1.234,5", u"+1,5E-3"})
        EXPECT_TRUE(readsAsNumber(n, u',', u'.'));
    EXPECT_FALSE(readsAsNumber(u"1.5", u',', u'\u00A0'));
    for (const auto* n : {u"12a", u"-", u"1e", u",5,"}) EXPECT_FALSE(readsAsNumber(n, u'.', u','));
}
