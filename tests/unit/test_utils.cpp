#include <sys/stat.h>

#include <regex>
#include <set>

#include "test_support_helpers.h"

using namespace torva;
using WorkingFolderTest = torva::testing::SupportFolder;

TEST_F(WorkingFolderTest, NewTempNameHasTheFamiliarFormCreatesNothingAndPassesOverNamesInUse) {
    const std::regex form("rad[0-9A-F]{5}\\.tmp");
    std::set<std::u16string> seen;
    for (int i = 0; i < 200; ++i) {
        const std::u16string name = NewTempName();
        ASSERT_TRUE(std::regex_match(toUtf8(name), form)) << toUtf8(name);
        seen.insert(name);
    }
    // Twenty random bits: 200 draws rarely collide, and never mostly.
    EXPECT_GT(seen.size(), 190u);
    EXPECT_TRUE(files().empty());

    // A name already in the working folder is drawn again: the file there is
    // not written into.
    write(dir / "rad00001.tmp", "an export still to be read");
    platform::posix::recorder().randomBytes = {1, 0, 0, 1, 0, 0, 0x2A, 0xFF, 0x0F};
    EXPECT_EQ(NewTempName(), u"radFFF2A.tmp");
    platform::posix::recorder().randomBytes = {1, 0, 0};
    write(dir / "radFFF2A.tmp", "");
    std::filesystem::remove(dir / "rad00001.tmp");
    EXPECT_EQ(NewTempName(), u"rad00001.tmp");
}

TEST_F(WorkingFolderTest, FileExistsCountsFilesOnlyAndRemoveFileSwallowsEveryFailure) {
    write(dir / "gone.tmp", "x");
    std::filesystem::create_directory(dir / "folder");
    EXPECT_TRUE(FileExists(path("gone.tmp")));
    EXPECT_FALSE(FileExists(path("folder")));
    EXPECT_FALSE(FileExists(path("missing.txt")));
    RemoveFile(path("gone.tmp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "gone.tmp"));

    RemoveFile(path("never-there.tmp"));
    RemoveFile(u"");

    // A read-only file is refused, not forced, as on Windows.
    write(dir / "locked.tmp", "x");
    chmod((dir / "locked.tmp").c_str(), 0444);
    RemoveFile(path("locked.tmp"));
    EXPECT_TRUE(std::filesystem::exists(dir / "locked.tmp"));

    RemoveFile(path("folder"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder"));
    EXPECT_TRUE(platform::posix::recorder().messageBoxes.empty());
}
