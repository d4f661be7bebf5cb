#include "support/modUtils.h"

#include <array>
#include <cstdint>

#include "platform/Platform.h"

namespace torva {

std::u16string WorkingFolder;

std::u16string GetWorkingFolder() { return platform::tempFolder(); }

namespace {

std::u16string randomTempName() {
    // Twenty random bits give the five hex digits of the familiar radXXXXX.tmp.
    std::array<uint8_t, 3> random{};
    platform::randomBytes(random);
    const uint32_t value = (random[0] | (random[1] << 8) | (random[2] << 16)) & 0xFFFFF;
    constexpr char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string name = u"rad";
    for (int shift = 16; shift >= 0; shift -= 4) {
        name += kHex[(value >> shift) & 0xF];
    }
    return name + u".tmp";
}

constexpr int kTempNameDraws = 16;

}  // namespace

std::u16string NewTempName() {
    // A name already in the working folder (an export the label application
    // has yet to read, a file of another program) would be written into, and
    // the label application would read a mix: such a name is drawn again.
    // Nothing is created, so another process may still take the name first.
    for (int draw = 1;; ++draw) {
        std::u16string name = randomTempName();
        if (draw == kTempNameDraws || WorkingFolder.empty() ||
            !FileExists(WorkingFolder + u"\\" + name))
            return name;
    }
}

bool FileExists(std::u16string_view path) { return platform::isFile(path); }

void RemoveFile(std::u16string_view path) noexcept {
    try {
        platform::deleteFile(path);
    } catch (...) {
        // A missing, locked or read-only file is no concern of the caller.
    }
}

bool AnsiCanSpell(std::u16string_view text) {
    // The conversion's "default character used" flag misses best-fit
    // look-alikes (a plain L for the Polish barred one): only the way back
    // shows them.
    return platform::fromAnsi(platform::toAnsi(text)) == text;
}

std::u16string AnsiSafePath(std::u16string_view path) {
    if (AnsiCanSpell(path)) return std::u16string(path);
    std::u16string shortForm = platform::shortPath(path);
    if (shortForm.empty() || !AnsiCanSpell(shortForm)) return std::u16string(path);
    return shortForm;
}

}  // namespace torva
