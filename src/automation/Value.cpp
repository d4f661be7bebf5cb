#include <cmath>
#include <cstdio>

#include "automation/Automation.h"
#include "base/Text.h"

namespace torva::automation {

namespace {
[[noreturn]] void typeMismatch() { throw Error(kDispETypeMismatch, u"Type mismatch"); }

std::u16string ascii(const std::string& s) { return {s.begin(), s.end()}; }
}  // namespace

void throwObjectNotSet() {
    throw torva::Error(kErrorObjectNotSet, u"Object variable or With block variable not set");
}

bool isNothing(const Value& v) {
    if (const auto* o = std::get_if<ObjectRef>(&v)) return *o == nullptr;
    return std::holds_alternative<Empty>(v);
}

ObjectRef asObject(const Value& v) {
    if (const auto* o = std::get_if<ObjectRef>(&v)) return *o;
    if (std::holds_alternative<Empty>(v)) return nullptr;
    typeMismatch();
}

// A call's result is a temporary: its object or text moves out rather than
// being copied, which a cell read a hundred thousand times notices.
ObjectRef asObject(Value&& v) {
    if (auto* o = std::get_if<ObjectRef>(&v)) return std::move(*o);
    return asObject(static_cast<const Value&>(v));
}

std::u16string asString(Value&& v) {
    if (auto* s = std::get_if<std::u16string>(&v)) return std::move(*s);
    return asString(static_cast<const Value&>(v));
}

std::u16string asString(const Value& v) {
    if (const auto* s = std::get_if<std::u16string>(&v)) return *s;
    if (std::holds_alternative<Empty>(v) || std::holds_alternative<Null>(v)) return {};
    if (const auto* b = std::get_if<bool>(&v)) return *b ? u"True" : u"False";
    if (const auto* i = std::get_if<int32_t>(&v)) return ascii(std::to_string(*i));
    if (const auto* d = std::get_if<double>(&v)) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.15g", *d);
        return ascii(buf);
    }
    typeMismatch();
}

double asDouble(const Value& v) {
    if (const auto* d = std::get_if<double>(&v)) return *d;
    if (const auto* i = std::get_if<int32_t>(&v)) return *i;
    if (const auto* b = std::get_if<bool>(&v)) return *b ? -1 : 0;
    if (const auto* t = std::get_if<Date>(&v)) return t->oleDate;
    if (std::holds_alternative<Empty>(v)) return 0;
    if (const auto* s = std::get_if<std::u16string>(&v)) {
        std::string narrow;
        for (char16_t c : *s) {
            if (c > 0x7F) typeMismatch();
            narrow += static_cast<char>(c);
        }
        char* end = nullptr;
        const double d = std::strtod(narrow.c_str(), &end);
        if (narrow.empty() || end != narrow.c_str() + narrow.size()) typeMismatch();
        return d;
    }
    typeMismatch();
}

int32_t asInt(const Value& v) {
    if (const auto* i = std::get_if<int32_t>(&v)) return *i;
    const double d = asDouble(v);
    if (!(d >= -2147483648.0 && d <= 2147483647.0)) throw Error(kDispETypeMismatch, u"Overflow");
    return static_cast<int32_t>(std::nearbyint(d));
}

bool asBool(const Value& v) {
    if (const auto* b = std::get_if<bool>(&v)) return *b;
    if (const auto* s = std::get_if<std::u16string>(&v)) {
        if (equalsAsciiIgnoreCase<char16_t>(*s, u"true")) return true;
        if (equalsAsciiIgnoreCase<char16_t>(*s, u"false")) return false;
    }
    return asDouble(v) != 0;
}

Date asDate(const Value& v) {
    if (const auto* t = std::get_if<Date>(&v)) return *t;
    if (std::holds_alternative<double>(v) || std::holds_alternative<int32_t>(v))
        return Date{asDouble(v)};
    typeMismatch();
}

}  // namespace torva::automation
