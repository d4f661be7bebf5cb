#include <regex>

#include "support/modLog.h"
#include "test_support_helpers.h"

using namespace torva;
using ErrorLog = torva::testing::SupportFolder;

// Dates and times have fixed digits and separators.
TEST_F(ErrorLog, LineLayoutAndMarkerPerLevel) {
    const platform::LocalTime t{2026, 3, 4, 9, 5, 3};
    EXPECT_EQ(FormatDate(t), u"04.03.2026");
    EXPECT_EQ(FormatTime(t, false), u"09:05");
    EXPECT_EQ(FormatTime(t, true), u"09:05:03");
    EXPECT_EQ(FormatDate({987, 12, 31, 0, 0, 0}), u"31.12.0987");
    EXPECT_EQ(FormatTime({2026, 12, 4, 17, 45, 59}, true), u"17:45:59");

    WriteLog(u"trace", 0);  // dropped without touching the file
    EXPECT_FALSE(std::filesystem::exists(dir / "torva.log"));
    WriteLog(u"Could not create Commandbar", 1);
    WriteLog(u"trace", 0);
    WriteLog(u"info", 2);
    WriteLog(u"five", 5);
    WriteLog(u"minus", -1);
    WriteLog(u"", 1);
    const std::string kStamp =
        "[0-3][0-9]\\.[01][0-9]\\.20[0-9]{2} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]";
    const std::string expected = kStamp + " ### Could not create Commandbar\r\n" + kStamp +
                                 " \\(I\\) info\r\n" + kStamp + " \\?\\?\\? five\r\n" + kStamp +
                                 " \\?\\?\\? minus\r\n" + kStamp + " ### \r\n";
    const std::string log = read(dir / "torva.log");
    EXPECT_TRUE(std::regex_match(log, std::regex(expected))) << log;
}

TEST_F(ErrorLog, EntriesAppendInAnsiAndMessagesMayBreakLines) {
    write(dir / "torva.log", "old line\r\n");
    WriteLog(u"Gr\u00F6\u00DFe \u20AC \u2192\r\nzweite Zeile", LogError);
    const std::string log = read(dir / "torva.log");
    EXPECT_EQ(log.substr(0, 10), "old line\r\n");
    EXPECT_EQ(log.substr(29),
              " ### Gr\xF6\xDF"
              "e \x80 ?\r\nzweite Zeile\r\n");
}

TEST_F(ErrorLog, UnwritableFolderShowsOneBoxPerEntry) {
    WorkingFolder = path("missing");
    WriteLog(u"first", LogError);
    WriteLog(u"second", LogError);
    const auto& boxes = platform::posix::recorder().messageBoxes;
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, u"Could not write Error-Log: File: " + path("missing") +
                                 u"\\torva.log Description: No such file or directory");
    EXPECT_EQ(boxes[0].caption, u"TorvaAddIn");
    EXPECT_EQ(boxes[0].style, 0u);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}
