#pragma once
// What the add-in would make of a string source, in words for translators.

#include <string>
#include <vector>

namespace torva::strings {

struct SourceLine {
    int number;           // 1-based line number in the source
    std::u16string text;  // without its line end
    bool validUtf8;
};

// A UTF-8 source split into lines; a UTF-8 byte-order mark is dropped.
std::vector<SourceLine> readSource(const std::string& bytes);

// One message per fault, "line N: ..." where a line is to blame.
std::vector<std::string> checkSource(const std::vector<SourceLine>& lines);

}  // namespace torva::strings
