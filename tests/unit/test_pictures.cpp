// The icon store's pictures: reproducible from their script, of the sizes and
// formats that Office's PasteFace and the dialog's window icon expect, and
// compiled into the module unchanged.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/frmPicStore.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const fs::path kPictures = fs::path(TORVA_SOURCE_DIR) / "resources" / "pictures";

unsigned le16(const Bytes& b, size_t at) { return b.at(at) | (b.at(at + 1) << 8); }
uint32_t le32(const Bytes& b, size_t at) { return le16(b, at) | (uint32_t(le16(b, at + 2)) << 16); }

struct GifFacts {
    unsigned width = 0, height = 0, paletteSize = 0;
    int frames = 0;
    bool interlaced = false;
    bool controlBlock = false;
    bool transparent = false;
    std::vector<uint8_t> pixels;
};

// GIF's LZW, read the way decoders read it, to prove the data is whole.
std::vector<uint8_t> unlzw(const Bytes& data, unsigned minSize) {
    const unsigned clear = 1u << minSize, end = clear + 1;
    std::vector<std::vector<uint8_t>> table;
    std::vector<uint8_t> out, prev;
    unsigned width = minSize + 1, nbits = 0;
    uint32_t acc = 0;
    size_t pos = 0;
    bool havePrev = false;
    for (;;) {
        while (nbits < width) {
            if (pos >= data.size()) throw std::runtime_error("LZW data ends early");
            acc |= uint32_t(data[pos++]) << nbits;
            nbits += 8;
        }
        const unsigned code = acc & ((1u << width) - 1);
        acc >>= width;
        nbits -= width;
        if (code == clear) {
            table.clear();
            for (unsigned i = 0; i < clear + 2; ++i) table.push_back({uint8_t(i)});
            width = minSize + 1;
            havePrev = false;
            continue;
        }
        if (code == end) break;
        std::vector<uint8_t> entry;
        if (code < table.size()) {
            entry = table[code];
        } else if (havePrev && code == table.size()) {
            entry = prev;
            entry.push_back(prev[0]);
        } else {
            throw std::runtime_error("LZW code out of range");
        }
        if (havePrev) {
            auto grown = prev;
            grown.push_back(entry[0]);
            table.push_back(grown);
            if (table.size() == (1u << width) && width < 12) ++width;
        }
        out.insert(out.end(), entry.begin(), entry.end());
        prev = entry;
        havePrev = true;
    }
    return out;
}

GifFacts readGif(const Bytes& b) {
    GifFacts f;
    if (b.size() < 13 || std::string(b.begin(), b.begin() + 6) != "GIF89a")
        throw std::runtime_error("not GIF89a");
    f.width = le16(b, 6);
    f.height = le16(b, 8);
    const uint8_t flags = b[10];
    if (flags & 0x80) f.paletteSize = 2u << (flags & 7);
    size_t at = 13 + 3 * f.paletteSize;
    while (at < b.size() && b[at] != 0x3B) {
        if (b[at] == 0x21) {  // extension
            if (b.at(at + 1) == 0xF9) {
                f.controlBlock = true;
                f.transparent = b.at(at + 3) & 1;
            }
            at += 2;
            while (b.at(at)) at += b[at] + 1u;
            ++at;
        } else if (b[at] == 0x2C) {  // image
            ++f.frames;
            f.interlaced = b.at(at + 9) & 0x40;
            if (b.at(at + 9) & 0x80) throw std::runtime_error("local palette");
            const unsigned minSize = b.at(at + 10);
            at += 11;
            Bytes data;
            while (b.at(at)) {
                data.insert(data.end(), b.begin() + at + 1, b.begin() + at + 1 + b[at]);
                at += b[at] + 1u;
            }
            ++at;
            f.pixels = unlzw(data, minSize);
        } else {
            throw std::runtime_error("unknown block");
        }
    }
    if (at >= b.size()) throw std::runtime_error("no trailer");
    return f;
}

}  // namespace

TEST(Pictures, CommittedFilesAreWhatTheScriptDraws) {
    char pattern[] = "/tmp/torva-pictures-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path out = pattern;
    const std::string command = "python3 '" + std::string(TORVA_SOURCE_DIR) +
                                "/tools/make-pictures.py' '" + out.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (const char* name : {"ImgSmallIcon.gif", "ImgBigIcon.gif", "frmPicStore.ico"}) {
        const Bytes drawn = readBytes(out / name);
        EXPECT_FALSE(drawn.empty()) << name;
        EXPECT_EQ(drawn, readBytes(kPictures / name)) << name << " differs from its script";
    }
    fs::remove_all(out);
}

TEST(Pictures, GifsHaveTheirSizesPalettesAndOneWholeFrame) {
    struct Want {
        const char* name;
        unsigned size, palette;
    };
    for (const Want& want : {Want{"ImgSmallIcon.gif", 16, 128}, Want{"ImgBigIcon.gif", 32, 256}}) {
        SCOPED_TRACE(want.name);
        const GifFacts gif = readGif(readBytes(kPictures / want.name));
        EXPECT_EQ(gif.width, want.size);
        EXPECT_EQ(gif.height, want.size);
        EXPECT_EQ(gif.paletteSize, want.palette);
        EXPECT_EQ(gif.frames, 1);
        EXPECT_FALSE(gif.interlaced);
        EXPECT_TRUE(gif.controlBlock);
        EXPECT_FALSE(gif.transparent);
        ASSERT_EQ(gif.pixels.size(), size_t(want.size) * want.size);
        size_t colours = 0;
        std::vector<bool> used(256);
        for (uint8_t p : gif.pixels) {
            EXPECT_LT(p, want.palette);
            if (!used[p]) ++colours, used[p] = true;
        }
        EXPECT_GT(colours, 3u) << "a picture, not a plain square";
    }
}

TEST(Pictures, WindowIconIsOneSixteenPixelImageWithAFullPalette) {
    const Bytes ico = readBytes(kPictures / "frmPicStore.ico");
    ASSERT_GE(ico.size(), 22u);
    EXPECT_EQ(le16(ico, 0), 0u);
    EXPECT_EQ(le16(ico, 2), 1u);  // icon, not cursor
    ASSERT_EQ(le16(ico, 4), 1u);
    EXPECT_EQ(ico[6], 16);
    EXPECT_EQ(ico[7], 16);
    EXPECT_EQ(le16(ico, 12), 8u);
    const uint32_t length = le32(ico, 14), offset = le32(ico, 18);
    ASSERT_EQ(size_t(offset) + length, ico.size());
    // The image: BITMAPINFOHEADER of twice the height (colour and mask).
    EXPECT_EQ(le32(ico, offset), 40u);
    EXPECT_EQ(le32(ico, offset + 4), 16u);
    EXPECT_EQ(le32(ico, offset + 8), 32u);
    EXPECT_EQ(le16(ico, offset + 14), 8u);
    const uint32_t colours = le32(ico, offset + 32);
    EXPECT_TRUE(colours == 256 || colours == 0);
    EXPECT_EQ(length, 40u + 256 * 4 + 16 * 16 + 16 * 4);
}

TEST(Pictures, TheModuleCarriesTheFilesUnchanged) {
    auto same = [](std::span<const uint8_t> embedded, const char* name) {
        const Bytes file = readBytes(kPictures / name);
        return Bytes(embedded.begin(), embedded.end()) == file && !file.empty();
    };
    EXPECT_TRUE(same(torva::frmPicStore::ImgSmallIcon(), "ImgSmallIcon.gif"));
    EXPECT_TRUE(same(torva::frmPicStore::ImgBigIcon(), "ImgBigIcon.gif"));
    EXPECT_TRUE(same(torva::frmPicStore::Icon(), "frmPicStore.ico"));
}
