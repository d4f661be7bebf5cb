#include "ScenarioFields.h"

#include <climits>

namespace torva::emulator::fields {

std::string text(const json& v, const std::string& field) {
    if (!v.is_string()) throw ScenarioError(field, "expected a text");
    return v.get<std::string>();
}

bool flag(const json& v, const std::string& field) {
    if (!v.is_boolean()) throw ScenarioError(field, "expected true or false");
    return v.get<bool>();
}

long long whole(const json& v, const std::string& field, long long lowest, long long highest,
                const std::string& problem) {
    if (!v.is_number_integer() || v.get<long long>() < lowest || v.get<long long>() > highest)
        throw ScenarioError(field, problem);
    return v.get<long long>();
}

int milliseconds(const json& v, const std::string& field) {
    return static_cast<int>(
        whole(v, field, 0, kLongestWait,
              "expected milliseconds from 0 to " + std::to_string(kLongestWait)));
}

std::vector<int> indices(const json& v, const std::string& field, const std::string& list) {
    if (!v.is_array()) throw ScenarioError(field, list);
    std::vector<int> out;
    for (const auto& i : v)
        out.push_back(
            static_cast<int>(whole(i, field, 0, LLONG_MAX, "expected indices 0 or more")));
    return out;
}

bool windowsPath(const std::string& path) {
    return path.size() >= 4 && path[1] == ':' && path[2] == '\\';
}

json section(const json& root, const char* name) {
    if (!root.contains(name)) return nullptr;
    const json& v = root.at(name);
    if (!v.is_object()) throw ScenarioError(name, "expected an object");
    return v;
}

}  // namespace torva::emulator::fields
