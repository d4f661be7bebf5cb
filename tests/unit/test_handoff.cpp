// The hand-off file and the launch, on the POSIX platform: real files in a
// scratch working folder, shell starts and message boxes recorded.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "handoff/modAddin.h"
#include "handoff/modIniFile.h"
#include "platform/Platform.h"
#include "platform/posix/Recorder.h"
#include "base/Error.h"
#include "support/StringFile.h"
#include "base/Text.h"
#include "support/modStringTables.h"
#include "support/modUtils.h"
#include "test_support_helpers.h"

using namespace torva;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class HandOff : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/torva-handoff-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        fs::create_directories(work());
        fs::create_directories(addin());
        savedWorkingFolder_ = WorkingFolder;
        WorkingFolder = fromUtf8(work().string());
        platform::posix::recorder().clear();
        platform::posix::recorder().moduleFolder = fromUtf8(addin().string());
    }
    void TearDown() override {
        WorkingFolder = savedWorkingFolder_;
        platform::posix::recorder().clear();
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    fs::path work() const { return root_ / "work"; }
    fs::path addin() const { return root_ / "office" / "addin"; }
    fs::path handOffPath(const std::string& name) const { return work() / name; }
    const std::vector<platform::posix::ShellCall>& shellCalls() const {
        return platform::posix::recorder().shellCalls;
    }

    fs::path root_;
    std::u16string savedWorkingFolder_;
};

const std::regex kTempName("rad[0-9A-F]{5}\\.tmp");

}  // namespace

// --- The file's bytes --------------------------------------------------------

TEST_F(HandOff, RunModeIsPlainDecimalAndValuesAreVerbatimAnsi) {
    writeHandOffFile(u"low.tmp", INT32_MIN, u"  lead; x=\"q\"", u"Gr\u00fc\u00dfe \u20ac",
                     u"\u4e2d");
    EXPECT_EQ(readFile(handOffPath("low.tmp")),
              "[PLAKORA]\r\nRUNMODE=-2147483648\r\nDBFILE=  lead; x=\"q\"\r\n"
              "DBCONNECT=Gr\xFC\xDF"
              "e \x80\r\nDBSQL=?\r\n");

    writeHandOffFile(u"high.tmp", INT32_MAX, u"", u"", u"");
    EXPECT_NE(readFile(handOffPath("high.tmp")).find("\r\nRUNMODE=2147483647\r\n"),
              std::string::npos);
    writeHandOffFile(u"zero.tmp", 0, u"", u"", u"");
    EXPECT_NE(readFile(handOffPath("zero.tmp")).find("\r\nRUNMODE=0\r\n"), std::string::npos);
}

TEST_F(HandOff, MissingWorkingFolderFailsWithError27AndStartsNothing) {
    WorkingFolder = fromUtf8((root_ / "gone").string());
    try {
        writeHandOffFile(u"x.tmp", 2, u"", u"", u"");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 27);
        EXPECT_EQ(static_cast<uint32_t>(e.hresult()), 0x800A001Bu);
    }
    EXPECT_FALSE(fs::exists(root_ / "gone"));

    // Nothing starts without its hand-off.
    writeFile(addin() / "plakora.exe", "MZ");
    EXPECT_THROW(launchLabelApplication(2, u"", u"", u""), Error);
    EXPECT_TRUE(shellCalls().empty());
}

// --- Launch ----------------------------------------------------------------

TEST_F(HandOff, LaunchStartsPlakoraBesideTheAddinWithTheBareHandOffName) {
    writeFile(addin() / "plakora.exe", "MZ");
    launchLabelApplication(3, u"C:\\t\\rad00001.tmp", u"", u"");

    ASSERT_EQ(shellCalls().size(), 1u);
    const auto& call = shellCalls()[0];
    const std::string folder = addin().string();
    EXPECT_EQ(call.operation, "open");
    EXPECT_EQ(call.file, folder + "\\plakora.exe");
    EXPECT_EQ(call.directory, folder);
    EXPECT_EQ(call.showCommand, 1);
    EXPECT_TRUE(std::regex_match(call.parameters, kTempName)) << call.parameters;
    // The hand-off is complete under that name by the time of the start.
    EXPECT_EQ(readFile(handOffPath(call.parameters)),
              "[PLAKORA]\r\nRUNMODE=3\r\nDBFILE=C:\\t\\rad00001.tmp\r\nDBCONNECT=\r\nDBSQL=\r\n");
}

TEST_F(HandOff, LaunchFallsBackToTheTestexeFolderUnchecked) {
    // A folder of that name is no executable.
    fs::create_directories(addin() / "plakora.exe");
    launchLabelApplication(2, u"", u"", u"");
    fs::remove(addin() / "plakora.exe");
    launchLabelApplication(2, u"", u"", u"");

    ASSERT_EQ(shellCalls().size(), 2u);
    const std::string folder = addin().string();
    for (const auto& call : shellCalls()) {
        EXPECT_EQ(call.operation, "open");
        EXPECT_EQ(call.file, folder + "\\..\\testexe\\plakora.exe");
        EXPECT_EQ(call.directory, folder + "\\..\\testexe");
        EXPECT_EQ(call.showCommand, 1);
        EXPECT_TRUE(std::regex_match(call.parameters, kTempName)) << call.parameters;
        // Nothing exists there, and the hand-off stays for whoever comes.
        EXPECT_TRUE(fs::exists(handOffPath(call.parameters)));
    }
    EXPECT_NE(shellCalls()[0].parameters, shellCalls()[1].parameters);
}

TEST_F(HandOff, FoldersTheCodePageCannotSpellGoToNarrowCallsInShortForm) {
    // A user's folder with the add-in and the working folder inside, and an
    // ASCII alias for it standing in for its 8.3 name.
    const fs::path user = root_ / u8"\u0141ukasz \u017B\u00F3\u0142\u0107";
    const fs::path alias = root_ / "_UKA~1EP";
    fs::create_directories(user / "Temp");
    fs::create_directories(user / "addin");
    fs::create_directory_symlink(user, alias);
    writeFile(user / "addin" / "plakora.exe", "MZ");
    writeFile(user / "Temp" / "rad0E1F2.tmp", "Name\tOrt\r\n");
    const auto windows = [](const fs::path& p) { return fromUtf8(p.string()); };
    auto& shortForms = platform::posix::recorder().shortPaths;
    for (const char* part : {"Temp", "addin", "addin\\plakora.exe", "Temp\\rad0E1F2.tmp"})
        shortForms[windows(user) + u"\\" + fromUtf8(part)] =
            windows(alias) + u"\\" + fromUtf8(part);
    WorkingFolder = windows(user) + u"\\Temp";
    platform::posix::recorder().moduleFolder = windows(user) + u"\\addin";

    launchLabelApplication(3, WorkingFolder + u"\\rad0E1F2.tmp", u"", u"");

    ASSERT_EQ(shellCalls().size(), 1u);
    const auto& call = shellCalls()[0];
    EXPECT_EQ(call.file, alias.string() + "\\addin\\plakora.exe");
    EXPECT_EQ(call.directory, alias.string() + "\\addin");
    // Written through the short form, found under the long one.
    const std::string dbFile = alias.string() + "\\Temp\\rad0E1F2.tmp";
    EXPECT_EQ(readFile(user / "Temp" / call.parameters),
              "[PLAKORA]\r\nRUNMODE=3\r\nDBFILE=" + dbFile + "\r\nDBCONNECT=\r\nDBSQL=\r\n");
    EXPECT_EQ(WorkingFolder, windows(user) + u"\\Temp");

    // Without a short form the paths go as the conversion leaves them, the
    // look-alike folder does not exist, and nothing starts.
    shortForms.clear();
    EXPECT_THROW(launchLabelApplication(3, u"", u"", u""), Error);
    EXPECT_EQ(shellCalls().size(), 1u);
}

// --- Information message ------------------------------------------------------

TEST_F(HandOff, InfoMessageIsStyle64TitledWithString2300) {
    // A string table of our own beside the "add-in", scrambled as shipped.
    torva::testing::writeStringFile(addin() / "Torva.Sys", u"2300 Plakora Hinweis\r\n");
    (void)LoadStringTable();  // may already hold 2300 from another test
    const std::u16string title = GetString(u"2300");
    ASSERT_FALSE(title.empty());

    showInfoMessage(u"Keine Zellen markiert");
    const auto& boxes = platform::posix::recorder().messageBoxes;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"Keine Zellen markiert");
    EXPECT_EQ(boxes[0].caption, title);
    EXPECT_EQ(boxes[0].style, 64u);
}
