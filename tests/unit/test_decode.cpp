#include <random>
#include <vector>

#include "test_support_helpers.h"

#include "base/Error.h"
#include "support/StringFile.h"
#include "support/modDecode.h"

using namespace torva;
using torva::testing::SupportFolder;

using DecodeFileTest = SupportFolder;

TEST_F(DecodeFileTest, ChainsOnTheStoredByteNotThePlainOne) {
    // p0 = 0x13 ^ 'R' = 'A'; p1 = 0x51 ^ 0x13 = 'B'; p2 = 0x51 ^ 0x51 = 0.
    write(dir / "in.sys", std::string("\x13\x51\x51", 3));
    DecodeFile(path("in.sys"), path("out.txt"));
    EXPECT_EQ(read(dir / "out.txt"), std::string("AB\0", 3));
}

TEST_F(DecodeFileTest, UndoesTheScrambleOfAnyBytes) {
    std::mt19937 random(7);
    std::vector<uint8_t> plain(70000);
    for (auto& b : plain) {
        b = static_cast<uint8_t>(random());
    }
    std::vector<uint8_t> stored = plain;
    scrambleBytes(stored);
    write(dir / "in.sys", std::string(stored.begin(), stored.end()));

    DecodeFile(path("in.sys"), path("out.txt"));
    EXPECT_EQ(read(dir / "out.txt"), std::string(plain.begin(), plain.end()));

    unscrambleBytes(stored);
    EXPECT_EQ(stored, plain);
}

TEST_F(DecodeFileTest, DamagedByteGarblesTwoPlainBytes) {
    std::vector<uint8_t> stored(10, 0x20);
    scrambleBytes(stored);
    stored[4] ^= 0xFF;
    write(dir / "in.sys", std::string(stored.begin(), stored.end()));
    DecodeFile(path("in.sys"), path("out.txt"));
    const std::string out = read(dir / "out.txt");
    ASSERT_EQ(out.size(), 10u);
    for (size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i] == 0x20, i != 4 && i != 5) << "byte " << i;
    }
}

TEST_F(DecodeFileTest, MissingSourceIsCreatedEmptyWhereItsFolderIsWritable) {
    write(dir / "empty.sys", "");
    DecodeFile(path("empty.sys"), path("a.txt"));
    EXPECT_EQ(read(dir / "a.txt"), "");

    DecodeFile(path("Torva.Sys"), path("b.txt"));
    EXPECT_TRUE(std::filesystem::exists(dir / "Torva.Sys"));
    EXPECT_EQ(std::filesystem::file_size(dir / "Torva.Sys"), 0u);
    EXPECT_EQ(read(dir / "b.txt"), "");
}

TEST_F(DecodeFileTest, UnusableFoldersFail) {
    EXPECT_THROW(DecodeFile(path("nowhere\\Torva.Sys"), path("c.txt")), Error);
    EXPECT_FALSE(std::filesystem::exists(dir / "c.txt"));

    write(dir / "in.sys", "abc");
    EXPECT_THROW(DecodeFile(path("in.sys"), path("nowhere\\c.txt")), Error);
}
