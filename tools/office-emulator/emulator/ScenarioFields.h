#pragma once
// The scenario reader's checks of single JSON fields: each one either gives
// the value or throws a ScenarioError that names the field, so every part of
// the reader words its complaints the same way.

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "Scenario.h"

namespace torva::emulator::fields {

using nlohmann::json;

// Waits and delays: ten minutes at the most.
inline constexpr int kLongestWait = 600000;

template <size_t N>
bool oneOf(const std::string& s, const std::array<const char*, N>& choices) {
    return std::any_of(choices.begin(), choices.end(), [&](const char* c) { return s == c; });
}

std::string text(const json& v, const std::string& field);
bool flag(const json& v, const std::string& field);

template <size_t N>
std::string choice(const json& v, const std::string& field,
                   const std::array<const char*, N>& choices) {
    std::string s = text(v, field);
    if (oneOf(s, choices)) return s;
    std::string listed;
    for (const char* c : choices) listed += (listed.empty() ? "" : ", ") + std::string(c);
    throw ScenarioError(field, "expected one of " + listed);
}

// A whole number from LOWEST to HIGHEST; otherwise PROBLEM.
long long whole(const json& v, const std::string& field, long long lowest, long long highest,
                const std::string& problem);
// Milliseconds from 0 to kLongestWait.
int milliseconds(const json& v, const std::string& field);
// A list of indices, 0 or more; LIST says what was expected when it is none.
std::vector<int> indices(const json& v, const std::string& field, const std::string& list);
// "C:\x...": a drive, its colon and a backslash, then at least one character.
bool windowsPath(const std::string& path);

// A named part of the root: null when absent, else it must be an object.
json section(const json& root, const char* name);

// READ(key, value, "field.key") for each field of an object.
template <class Read>
void eachField(const json& v, const std::string& field, Read&& read,
               const char* notAnObject = "expected an object") {
    if (!v.is_object()) throw ScenarioError(field, notAnObject);
    for (const auto& [key, value] : v.items()) read(key, value, field + "." + key);
}

// READ(entry, "field[i]") for each entry of a list.
template <class Read>
void eachEntry(const json& v, const std::string& field, Read&& read) {
    if (!v.is_array()) throw ScenarioError(field, "expected a list");
    for (size_t i = 0; i < v.size(); ++i) read(v[i], field + "[" + std::to_string(i) + "]");
}

}  // namespace torva::emulator::fields
