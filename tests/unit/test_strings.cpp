#include "support/modStringTables.h"
#include "test_support_helpers.h"

using namespace torva;
using torva::testing::SupportFolder;

// The table lives as long as the process and is never emptied, so each test
// uses IDs of its own.
class StringTable : public SupportFolder {
  protected:
    void shipStringFile(std::u16string_view text) {
        torva::testing::writeStringFile(dir / "Torva.Sys", text);
    }
    std::string log() const { return read(dir / "torva.log"); }
};

TEST(StringLineRules, StripCommentsEntriesAndTheFiveBlanks) {
    const StringLine entry = parseStringLine(u" \t0920 Etiketten drucken \t\r");
    EXPECT_EQ(entry.kind, StringLineKind::Entry);
    EXPECT_EQ(entry.stripped, u"0920 Etiketten drucken");
    EXPECT_EQ(entry.id, u"0920");
    EXPECT_EQ(entry.text, u"Etiketten drucken");

    EXPECT_EQ(parseStringLine(u"\t  # comment").kind, StringLineKind::Comment);
    EXPECT_EQ(parseStringLine(u" \a\r\n\t ").kind, StringLineKind::Blank);

    const StringLine hash = parseStringLine(u"0950 # kein Kommentar\tmit\tTabs");
    EXPECT_EQ(hash.kind, StringLineKind::Entry);
    EXPECT_EQ(hash.text, u"# kein Kommentar\tmit\tTabs");

    // The fifth character is dropped whatever it is.
    EXPECT_EQ(parseStringLine(u"0920Xtext").text, u"text");
    EXPECT_EQ(parseStringLine(u"0920=  two").text, u"  two");
    // Shorter than an ID and its separator: an entry with no text.
    EXPECT_EQ(parseStringLine(u"abc").id, u"abc");
    EXPECT_EQ(parseStringLine(u"1234 ").text, u"");

    // The trim takes only its five characters.
    EXPECT_EQ(TrimWhitespace(u"\a\t x y \r\n"), u"x y");
    EXPECT_EQ(TrimWhitespace(std::u16string_view(u"\v x\0", 4)), std::u16string(u"\v x\0", 4));
    EXPECT_EQ(TrimWhitespace(u" \a "), u"");
}

// Only CR LF ends a line; a lone LF or CR stays in the entry's text.
TEST_F(StringTable, LoadsEntriesAndLeavesNoTemporaryFile) {
    shipStringFile(
        u"# Torva\r\n\r\n   \t\r\n  # indented comment\r\nAA01 Erste Zeile\r\n"
        u"aa02\tZweite \u201EZeile\u201C\r\nAA03\r\nAA4\r\n0920 a\nb\r\nBB02 c\rd\r\n\nBB03 e\r\n");
    EXPECT_TRUE(LoadStringTable());
    EXPECT_EQ(files(), std::vector<std::string>{"Torva.Sys"});
    // A line that begins with a stray LF loses it to the trim (BB03).
    EXPECT_EQ(GetString(u"AA01"), u"Erste Zeile");
    EXPECT_EQ(GetString(u"aa01"), u"Erste Zeile");
    EXPECT_EQ(GetString(u"AA02"), u"Zweite \u201EZeile\u201C");
    EXPECT_EQ(GetString(u"AA03"), u"");
    EXPECT_EQ(GetString(u"AA4"), u"");
    EXPECT_EQ(GetString(u"# in"), u"");
    EXPECT_EQ(GetString(u"ZZ99"), u"");
    EXPECT_EQ(GetString(u"0920"), u"a\nb");
    EXPECT_EQ(GetString(u"BB02"), u"c\rd");
    EXPECT_EQ(GetString(u"BB03"), u"e");

    // A second load fails at its first entry, whose ID is taken: the first stays.
    shipStringFile(u"# again\r\nAA01 replaced\r\nEE02 new\r\n");
    EXPECT_FALSE(LoadStringTable());
    EXPECT_EQ(GetString(u"AA01"), u"Erste Zeile");
    EXPECT_EQ(GetString(u"EE02"), u"");
    EXPECT_NE(log().find("Error near Line : AA01 replaced\r\n"), std::string::npos);
}

// A line-break marker exists only once a load has run to its end (ctest runs
// each case in a process of its own, so none has yet); a file of comments
// and blanks alone loads as true without a log entry.
TEST_F(StringTable, EscapesAfterALoad) {
    EXPECT_EQ(UnescapeText(u"eins\\nzwei"), u"eins\\nzwei");
    shipStringFile(u"# nothing but comments\r\n\r\n \t \r\n   # and blanks\r\n");
    EXPECT_TRUE(LoadStringTable());
    EXPECT_FALSE(std::filesystem::exists(dir / "torva.log"));
    EXPECT_EQ(UnescapeText(u"eins\\nzwei"), u"eins\r\nzwei");
    shipStringFile(
        u"CC01 eins\\nzwei\r\nCC02 sagte \\\"ja\\\" und \\\u201Enein\u201C\r\n"
        u"CC03 C:\\temp \\\\n\r\n");
    ASSERT_TRUE(LoadStringTable());
    EXPECT_EQ(GetString(u"CC01"), u"eins\r\nzwei");
    EXPECT_EQ(GetString(u"CC02"), u"sagte \"ja\" und \u201Enein\u201C");
    // No escape for other characters or a doubled backslash.
    EXPECT_EQ(GetString(u"CC03"), u"C:\\temp \\\r\n");
}

TEST_F(StringTable, DuplicateIdStopsTheLoad) {
    shipStringFile(u"DD01 first\r\nDD02 second\r\n  dd01 again  \r\nDD03 never\r\n");
    EXPECT_FALSE(LoadStringTable());
    EXPECT_EQ(GetString(u"DD01"), u"first");
    EXPECT_EQ(GetString(u"DD02"), u"second");
    EXPECT_EQ(GetString(u"DD03"), u"");

    // The temporary path is the one in the first entry, and it is gone again.
    const std::string text = log();
    const std::string head = " ### Could not read Stringtable: " + dir.string() + "\\rad";
    ASSERT_EQ(text.find(head), 19u) << text;
    const std::string tempName = text.substr(19 + head.size() - 3, 12);
    EXPECT_FALSE(std::filesystem::exists(dir / tempName)) << tempName;
    EXPECT_NE(text.find(" ### Error near Line : dd01 again\r\n"), std::string::npos) << text;
    EXPECT_EQ(files(), (std::vector<std::string>{"Torva.Sys", "torva.log"}));
}

TEST_F(StringTable, UnusableAddInFolderFailsBeforeAnyLineAWritableOneLoadsEmpty) {
    platform::posix::recorder().moduleFolder = path("missing");
    EXPECT_FALSE(LoadStringTable());
    const std::string text = log();
    EXPECT_NE(text.find(" ### Could not read Stringtable: " + dir.string() + "\\rad"),
              std::string::npos);
    EXPECT_TRUE(text.ends_with(" ### Error near Line : \r\n")) << text;
    EXPECT_EQ(files(), std::vector<std::string>{"torva.log"});

    // A writable folder without a string file loads empty.
    platform::posix::recorder().moduleFolder = fromUtf8(dir.string());
    EXPECT_TRUE(LoadStringTable());
    EXPECT_EQ(files(), (std::vector<std::string>{"Torva.Sys", "torva.log"}));
}
