#pragma once
// A private working folder and add-in folder for each test, with the POSIX
// recorder pointed at them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "CommandBars.h"
#include "platform/posix/Recorder.h"
#include "base/Text.h"
#include "support/StringFile.h"
#include "support/modStringTables.h"
#include "support/modUtils.h"

namespace torva::testing {

// A string table as the add-in ships it: UTF-16LE behind a byte-order mark,
// scrambled.
inline void writeStringFile(const std::filesystem::path& file, std::u16string_view text) {
    std::string bytes = utf16LeWithBom(text);
    scrambleBytes(std::span(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()));
    std::ofstream(file, std::ios::binary) << bytes;
}

// An export file's bytes as the label application expects them: UTF-16LE
// behind a byte-order mark, each line ended by CR LF. Built here byte by
// byte rather than with the product's writer, so that it can tell it wrong.
inline std::string exportFileBytes(const std::vector<std::u16string>& lines) {
    std::string bytes = "\xFF\xFE";
    for (const auto& line : lines)
        for (char16_t unit : line + u"\r\n") {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
    return bytes;
}

inline std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Button faces pasted in the model come from the recorded clipboard.
inline void useRecordedClipboard() {
    model::setClipboardSource([]() -> std::optional<model::ClipboardPicture> {
        const auto& clip = platform::posix::recorder().clipboard;
        if (!clip) return std::nullopt;
        return model::ClipboardPicture{clip->width, clip->height};
    });
}

// The one notice shown: its text (or how it begins, `whole` false), caption,
// owner window and style. Gives its whole text.
inline std::u16string expectOneNotice(const std::u16string& text, const std::u16string& caption,
                                      intptr_t owner, uint32_t style, bool whole = true) {
    const auto& boxes = platform::posix::recorder().messageBoxes;
    EXPECT_EQ(boxes.size(), 1u);
    if (boxes.empty()) return {};
    EXPECT_EQ(whole ? boxes[0].text : boxes[0].text.substr(0, text.size()), text);
    EXPECT_EQ(boxes[0].caption, caption);
    EXPECT_EQ(boxes[0].owner, owner);
    EXPECT_EQ(boxes[0].style, style);
    return boxes[0].text;
}

class SupportFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "torva-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        auto& rec = platform::posix::recorder();
        rec.clear();
        rec.tempFolder = rec.moduleFolder = WorkingFolder = fromUtf8(dir.string());
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(dir, ignored);
        platform::posix::recorder().clear();
        WorkingFolder.clear();
    }

    // The add-in's own form of a path in the folder.
    std::u16string path(const std::string& name) const {
        return fromUtf8(dir.string()) + u"\\" + fromUtf8(name);
    }
    static std::string read(const std::filesystem::path& file) { return readFile(file); }
    static void write(const std::filesystem::path& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    // Every file in the folder (or another), by name.
    std::vector<std::string> files(const std::filesystem::path& in = {}) const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(in.empty() ? dir : in))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path dir;
};

}  // namespace torva::testing
