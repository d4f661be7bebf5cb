#pragma once
// The translators' files as the string tools read and write them: a UTF-8
// string source and the scrambled Torva.Sys made from it. Every failure
// throws torva::Error naming the file (and the line, where one is to blame).

#include <string>

namespace torva::strings {

std::string readFile(const std::u16string& path);
void writeFile(const std::u16string& path, const std::string& bytes);

// The source's bytes as the add-in's string file: UTF-16LE behind a
// byte-order mark, CR LF after every line, scrambled. A line that is not
// valid UTF-8 fails the whole file.
std::string encodeSource(const std::string& utf8, const std::u16string& sourceName);

}  // namespace torva::strings
