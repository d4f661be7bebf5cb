// The hand-off file and the launch, on the POSIX platform: real files in a
// scratch working folder, shell starts and message boxes recorded.
#include <regex>

#include "handoff/modAddin.h"
#include "handoff/modIniFile.h"
#include "support/Notice.h"
#include "test_support_helpers.h"

using namespace torva;
namespace fs = std::filesystem;

namespace {

// The working folder and the add-in's folder apart, as in Office.
class HandOff : public torva::testing::SupportFolder {
  protected:
    void SetUp() override {
        SupportFolder::SetUp();
        fs::create_directories(work());
        fs::create_directories(addin());
        WorkingFolder = fromUtf8(work().string());
        platform::posix::recorder().moduleFolder = fromUtf8(addin().string());
    }
    fs::path work() const { return dir / "work"; }
    fs::path addin() const { return dir / "office" / "addin"; }
    const std::vector<platform::posix::ShellCall>& shellCalls() const {
        return platform::posix::recorder().shellCalls;
    }
};

}  // namespace

TEST_F(HandOff, RunModeIsPlainDecimalValuesAreVerbatimAnsiAMissingFolderIsError27) {
    writeHandOffFile(u"low.tmp", INT32_MIN, u"  lead; x=\"q\"", u"Gr\u00fc\u00dfe \u20ac",
                     u"\u4e2d");
    EXPECT_EQ(read(work() / "low.tmp"),
              "[PLAKORA]\r\nRUNMODE=-2147483648\r\nDBFILE=  lead; x=\"q\"\r\n"
              "DBCONNECT=Gr\xFC\xDF"
              "e \x80\r\nDBSQL=?\r\n");

    writeHandOffFile(u"high.tmp", INT32_MAX, u"", u"", u"");
    EXPECT_NE(read(work() / "high.tmp").find("\r\nRUNMODE=2147483647\r\n"), std::string::npos);
    writeHandOffFile(u"zero.tmp", 0, u"", u"", u"");
    EXPECT_NE(read(work() / "zero.tmp").find("\r\nRUNMODE=0\r\n"), std::string::npos);

    // A missing working folder fails with error 27.
    WorkingFolder = path("gone");
    try {
        writeHandOffFile(u"x.tmp", 2, u"", u"", u"");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 27);
        EXPECT_EQ(static_cast<uint32_t>(e.hresult()), 0x800A001Bu);
    }
    EXPECT_FALSE(fs::exists(dir / "gone"));
}

// Where plakora.exe is looked for, in order: beside the add-in, the
// development folder ..\testexe, then the App Paths registration (the user's
// entry before the machine's), each only where the file exists.
TEST_F(HandOff, LaunchTakesTheFirstPlakoraThatExists) {
    const std::string folder = addin().string();
    const fs::path user = dir / "user plakora", machine = dir / "machine plakora";
    const fs::path places[] = {addin(), addin() / ".." / "testexe", user, machine};
    for (const fs::path& f : places) fs::create_directories(f);
    // Both entries are always registered; a missing file is passed over.
    platform::posix::recorder().appPaths = {fromUtf8((user / "plakora.exe").string()),
                                            fromUtf8((machine / "plakora.exe").string())};
    const struct {
        size_t first;  // plakora.exe is in places[first] and those after it
        std::string file, directory;
    } cases[] = {
        {0, folder + "\\plakora.exe", folder},
        {1, folder + "\\..\\testexe\\plakora.exe", folder + "\\..\\testexe"},
        {2, (user / "plakora.exe").string(), user.string()},
        {3, (machine / "plakora.exe").string(), machine.string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        platform::posix::recorder().shellCalls.clear();
        for (size_t i = 0; i < 4; ++i) {
            if (i < c.first)
                fs::remove(places[i] / "plakora.exe");
            else
                write(places[i] / "plakora.exe", "MZ");
        }
        EXPECT_TRUE(launchLabelApplication(3, u"C:\\t\\rad00001.tmp", u"", u""));
        ASSERT_EQ(shellCalls().size(), 1u);
        const auto& call = shellCalls()[0];
        EXPECT_EQ(call.operation, "open");
        EXPECT_EQ(call.file, c.file);
        EXPECT_EQ(call.directory, c.directory);
        EXPECT_EQ(call.showCommand, 1);
        // The start names the hand-off bare, complete under that name by then.
        EXPECT_TRUE(std::regex_match(call.parameters, std::regex("rad[0-9A-F]{5}\\.tmp")))
            << call.parameters;
        EXPECT_EQ(
            read(work() / call.parameters),
            "[PLAKORA]\r\nRUNMODE=3\r\nDBFILE=C:\\t\\rad00001.tmp\r\nDBCONNECT=\r\nDBSQL=\r\n");
    }
}

// The three ways a launch fails: each tells the user (title 2300, style 64,
// task-modal outside a press), writes one log entry and leaves no hand-off.
TEST_F(HandOff, AFailedLaunchEndsInItsNoticeAndLogEntryAndLeavesNoHandOff) {
    torva::testing::writeStringFile(
        addin() / "Torva.Sys",
        u"2300 Hinweis\r\n2301 Ordner %1 nicht beschreibbar\r\n"
        u"2302 Kein Plakora; Add-in liegt in %1\r\n2303 Start von %1 abgelehnt: %2\r\n");
    ASSERT_TRUE(LoadStringTable());
    const std::u16string addinFolder = fromUtf8(addin().string()),
                         workFolder = fromUtf8(work().string());
    const struct {
        const char* end;
        bool handOffRefused, plakoraThere;
        intptr_t shellAnswer;
        std::u16string notice;
        std::string logText;
    } cases[] = {
        {"hand-off", true, true, 42, u"Ordner " + workFolder + u" nicht beschreibbar",
         " ### Could not write the hand-off file: " + toUtf8(workFolder) + "\\rad"},
        {"no plakora", false, false, 42, u"Kein Plakora; Add-in liegt in " + addinFolder,
         " ### plakora.exe not found: neither in "},
        {"refused", false, true, 2,
         u"Start von " + addinFolder + u"\\plakora.exe abgelehnt: Windows error 2",
         " ### Could not start plakora.exe: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.end);
        auto& rec = platform::posix::recorder();
        rec.messageBoxes.clear();
        rec.shellCalls.clear();
        rec.shellResult = c.shellAnswer;
        // The hand-off is begun (RUNMODE) and then refused: the begun file goes too.
        rec.profileWritesLeft = c.handOffRefused ? std::optional<int>(1) : std::nullopt;
        fs::remove_all(work());
        fs::create_directories(work());
        fs::remove(addin() / "plakora.exe");
        if (c.plakoraThere) write(addin() / "plakora.exe", "MZ");

        EXPECT_FALSE(launchLabelApplication(2, u"", u"", u""));

        torva::testing::expectOneNotice(c.notice, u"Hinweis", 0, 64u | 0x2000u);
        const std::string log = read(work() / "torva.log");
        EXPECT_NE(log.find(c.logText), std::string::npos) << log;
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
        // Only the log is left; what was started is the shell's refusal alone.
        EXPECT_EQ(files(work()), std::vector<std::string>{"torva.log"});
        EXPECT_EQ(shellCalls().size(), c.shellAnswer == 2 ? 1u : 0u);
    }
}

TEST_F(HandOff, FoldersTheCodePageCannotSpellGoToNarrowCallsInShortForm) {
    // A user's folder with the add-in and the working folder inside, and an
    // ASCII alias for it standing in for its 8.3 name.
    const fs::path user = dir / u8"\u0141ukasz \u017B\u00F3\u0142\u0107";
    const fs::path alias = dir / "_UKA~1EP";
    fs::create_directories(user / "Temp");
    fs::create_directories(user / "addin");
    fs::create_directory_symlink(user, alias);
    write(user / "addin" / "plakora.exe", "MZ");
    write(user / "Temp" / "rad0E1F2.tmp", "Name\tOrt\r\n");
    const auto windows = [](const fs::path& p) { return fromUtf8(p.string()); };
    auto& shortForms = platform::posix::recorder().shortPaths;
    for (const char* part : {"Temp", "addin", "addin\\plakora.exe", "Temp\\rad0E1F2.tmp"})
        shortForms[windows(user) + u"\\" + fromUtf8(part)] =
            windows(alias) + u"\\" + fromUtf8(part);
    WorkingFolder = windows(user) + u"\\Temp";
    platform::posix::recorder().moduleFolder = windows(user) + u"\\addin";

    EXPECT_TRUE(launchLabelApplication(3, WorkingFolder + u"\\rad0E1F2.tmp", u"", u""));

    ASSERT_EQ(shellCalls().size(), 1u);
    const auto& call = shellCalls()[0];
    EXPECT_EQ(call.file, alias.string() + "\\addin\\plakora.exe");
    EXPECT_EQ(call.directory, alias.string() + "\\addin");
    // Written through the short form, found under the long one.
    const std::string dbFile = alias.string() + "\\Temp\\rad0E1F2.tmp";
    EXPECT_EQ(read(user / "Temp" / call.parameters),
              "[PLAKORA]\r\nRUNMODE=3\r\nDBFILE=" + dbFile + "\r\nDBCONNECT=\r\nDBSQL=\r\n");
    EXPECT_EQ(WorkingFolder, windows(user) + u"\\Temp");

    // Without a short form the paths go as the conversion leaves them, the
    // look-alike folder does not exist, and nothing starts.
    shortForms.clear();
    EXPECT_FALSE(launchLabelApplication(3, u"", u"", u""));
    EXPECT_EQ(shellCalls().size(), 1u);

    // A path the code page spells is never shortened; a short form it cannot
    // spell either is no help.
    const std::u16string western = u"C:\\users\\Zo\u00EB \u00C7elik\\Temp",
                         half = u"C:\\\u0141\\\u03A9";
    shortForms = {{western, u"C:\\users\\ZOELIK~1\\Temp"}, {half, u"C:\\_\\\u03A9"}};
    for (const std::u16string& p : {western, half, WorkingFolder,
                                    std::u16string(u"C:\\plain\\rad12345.tmp"), std::u16string()})
        EXPECT_EQ(toUtf8(AnsiSafePath(p)), toUtf8(p));
    EXPECT_FALSE(AnsiCanSpell(u"\u0141"));  // best fit would give a plain L
    EXPECT_TRUE(AnsiCanSpell(u"\u20AC \u00FF"));
}

TEST_F(HandOff, InfoMessageIsStyle64TitledWithString2300) {
    // A string table of our own beside the "add-in", scrambled as shipped.
    torva::testing::writeStringFile(addin() / "Torva.Sys", u"2300 Plakora Hinweis\r\n");
    (void)LoadStringTable();  // may already hold 2300 from another test
    const std::u16string title = GetString(u"2300");
    ASSERT_FALSE(title.empty());

    // In a press whose host has a window, the box is that window's; where
    // the window cannot be found, the box is task-modal and the press goes on.
    int lookups = 0;
    {
        const PressScope press([&lookups] {
            ++lookups;
            return intptr_t{0x4711};
        });
        EXPECT_EQ(lookups, 0);  // asked for only when a window shows
        showInfoMessage(u"Keine Zellen markiert");
        showInfoMessage(u"Noch einmal");
    }
    {
        const PressScope press([]() -> intptr_t { throw Error(91, u"Object not set"); });
        showInfoMessage(u"Ohne Fenster");
    }
    showInfoMessage(u"Ausserhalb");
    const auto& boxes = platform::posix::recorder().messageBoxes;
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(lookups, 1);
    const struct {
        std::u16string text;
        intptr_t owner;
        uint32_t style;
    } expected[] = {{u"Keine Zellen markiert", 0x4711, 64u},
                    {u"Noch einmal", 0x4711, 64u},
                    {u"Ohne Fenster", 0, 64u | 0x2000u},
                    {u"Ausserhalb", 0, 64u | 0x2000u}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(boxes[i].text, expected[i].text);
        EXPECT_EQ(boxes[i].caption, title);
        EXPECT_EQ(boxes[i].owner, expected[i].owner);
        EXPECT_EQ(boxes[i].style, expected[i].style);
    }
}

TEST_F(HandOff, FillInPutsEachValueInItsPlaceShellFailuresGetTheSystemsCodes) {
    const std::pair<std::u16string_view, std::u16string> table[] = {
        {u"Ordner %1", u"Ordner C:\\Temp"},
        {u"%2 (%1)", u"Zugriff verweigert (C:\\Temp)"},
        {u"%3 bleibt, %1%1", u"%3 bleibt, C:\\TempC:\\Temp"},
        {u"100% %", u"100% %"},
        {u"Ende %", u"Ende %"},
    };
    for (const auto& [text, filled] : table)
        EXPECT_EQ(FillIn(text, {u"C:\\Temp", u"Zugriff verweigert"}), filled);
    // A value holding a place mark is not filled in again.
    EXPECT_EQ(FillIn(u"%1 %2", {u"%2", u"x"}), u"%2 x");

    // ShellExecuteA's own codes stand for Win32 errors (a refusal's notice
    // names them); the low ones are them.
    const std::pair<intptr_t, uint32_t> codes[] = {
        {0, 8},     {2, 2},     {3, 3},     {5, 5},     {8, 8},     {11, 11},   {26, 32},
        {27, 1155}, {28, 1156}, {29, 1156}, {30, 1156}, {31, 1155}, {32, 1157},
    };
    for (const auto& [result, code] : codes) EXPECT_EQ(shellErrorCode(result), code) << result;
}
