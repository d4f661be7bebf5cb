#include "ModelObject.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "base/Text.h"

namespace torva::model {

namespace {
constexpr Guid kIUnknown = oleIid(0x00000000);
constexpr Guid kIDispatch = oleIid(0x00020400);

char16_t lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

[[noreturn]] void notFound(std::u16string_view name) {
    throw automation::Error(kDispEMemberNotFound, u"Unknown name: " + std::u16string(name));
}
}  // namespace

Counters& counters() {
    static Counters c;
    return c;
}

bool equalsIgnoreCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

Object::Object(std::u16string typeName) : typeName_(std::move(typeName)) {
    ++counters().liveObjects;
}

Object::~Object() { --counters().liveObjects; }

void Object::property(std::u16string name, std::function<Value(const Params&)> getter,
                      std::function<void(const Value&)> setter, std::vector<std::u16string> params,
                      int32_t dispid) {
    members_.push_back(Member{std::move(name), dispid ? dispid : nextDispid_++, std::move(params),
                              std::move(getter), std::move(setter), false});
}

void Object::method(std::u16string name, std::vector<std::u16string> params,
                    std::function<Value(const Params&)> fn, int32_t dispid) {
    members_.push_back(Member{std::move(name),
                              dispid ? dispid : nextDispid_++,
                              std::move(params),
                              std::move(fn),
                              {},
                              true});
}

intptr_t Object::oleWindow() {
    if (!window_) return automation::Object::oleWindow();
    ++counters().calls;
    return window_();
}

const Object::Member* Object::findMember(std::u16string_view name) const {
    for (const auto& m : members_)
        if (equalsIgnoreCase(m.name, name)) return &m;
    return nullptr;
}

const Object::Member* Object::findMember(int32_t dispid) const {
    for (const auto& m : members_)
        if (m.dispid == dispid) return &m;
    return nullptr;
}

Params Object::place(const Member& m, const Args& args) const {
    Params placed(std::max(m.params.size(), args.size()));
    size_t next = 0;
    for (const auto& a : args) {
        size_t at = next;
        if (!a.name.empty()) {
            auto it = std::find_if(m.params.begin(), m.params.end(),
                                   [&](const auto& p) { return equalsIgnoreCase(p, a.name); });
            if (it == m.params.end())
                throw automation::Error(kDispEParamNotFound,
                                        u"Named argument not found: " + a.name);
            at = static_cast<size_t>(it - m.params.begin());
        } else {
            ++next;
        }
        if (!a.omitted) placed[at] = a.value;
    }
    return placed;
}

Value Object::get(std::u16string_view name, const Args& args) {
    ++counters().calls;
    const Member* m = findMember(name);
    if (!m || !m->get) notFound(name);
    return m->get(place(*m, args));
}

void Object::put(std::u16string_view name, const Value& value) {
    ++counters().calls;
    const Member* m = findMember(name);
    if (!m) notFound(name);
    if (!m->put)
        throw automation::Error(automation::kEFail,
                                u"Property is read-only: " + std::u16string(name));
    m->put(value);
}

Value Object::call(std::u16string_view name, const Args& args) { return get(name, args); }

std::vector<Value> Object::items() {
    ++counters().calls;
    if (!items_) throw automation::Error(kDispENotEnumerable, u"Object is not a collection");
    return items_();
}

bool Object::offers(const Guid& iid) const {
    return iid == kIUnknown || iid == kIDispatch ||
           std::find(interfaces_.begin(), interfaces_.end(), iid) != interfaces_.end();
}

ObjectRef Object::queryInterface(const Guid& iid) {
    if (!offers(iid))
        throw automation::Error(automation::kENoInterface, u"No such interface supported");
    return shared_from_this();
}

automation::Subscription Object::subscribe(const Guid& eventIid, automation::EventHandler handler) {
    if (std::find(events_.begin(), events_.end(), eventIid) == events_.end())
        throw automation::Error(static_cast<int32_t>(0x80040200),  // CONNECT_E_NOCONNECTION
                                u"Object does not source that event interface");
    const long id = nextSink_++;
    sinks_->push_back(Sink{eventIid, id, std::move(handler)});
    // The subscription may outlive the object; it holds the list, not the object.
    std::weak_ptr<std::vector<Sink>> list = sinks_;
    return automation::Subscription([list, id] {
        if (auto l = list.lock()) std::erase_if(*l, [id](const Sink& s) { return s.id == id; });
    });
}

void Object::fire(const Guid& eventIid, int32_t dispid, std::vector<Value>& args) {
    // A copy: a handler may unsubscribe while it runs.
    const auto sinks = *sinks_;
    for (const auto& s : sinks)
        if (s.iid == eventIid) s.handler(dispid, args);
}

size_t Object::subscriberCount(const Guid& eventIid) const {
    return static_cast<size_t>(std::count_if(sinks_->begin(), sinks_->end(),
                                             [&](const Sink& s) { return s.iid == eventIid; }));
}

Value param(const Params& p, size_t i) {
    if (i >= p.size() || !p[i])
        throw automation::Error(kDispEParamNotFound, u"Argument not optional");
    return *p[i];
}

Value paramOr(const Params& p, size_t i, Value fallback) {
    return (i < p.size() && p[i]) ? *p[i] : std::move(fallback);
}

namespace {
constexpr int32_t kTypeMismatch = static_cast<int32_t>(0x80020005);
constexpr int32_t kOverflow = static_cast<int32_t>(0x8002000A);

[[noreturn]] void typeMismatch() { throw automation::Error(kTypeMismatch, u"Type mismatch"); }

std::u16string trimmed(const std::u16string& s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == u' ' || s[a] == u'\t')) ++a;
    while (b > a && (s[b - 1] == u' ' || s[b - 1] == u'\t')) --b;
    return s.substr(a, b - a);
}

// A number as text in the invariant form ("12", "-3.5", "1e3"); nothing else.
double numberIn(const std::u16string& text) {
    const std::u16string t = trimmed(text);
    if (t.empty() || t.size() > 64) typeMismatch();
    std::string narrow;
    for (char16_t c : t) {
        if (!((c >= u'0' && c <= u'9') || c == u'-' || c == u'+' || c == u'.' || c == u'e' ||
              c == u'E'))
            typeMismatch();
        narrow.push_back(static_cast<char>(c));
    }
    double d = 0;
    int used = 0;
    if (std::sscanf(narrow.c_str(), "%lf%n", &d, &used) != 1 ||
        used != static_cast<int>(narrow.size()))
        typeMismatch();
    return d;
}

int32_t roundedInt(double d) {
    const double r = std::nearbyint(d);  // ties to even, as OLE rounds
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw automation::Error(kOverflow, u"Overflow");
    return static_cast<int32_t>(r);
}
}  // namespace

std::u16string toText(const Value& v) {
    if (std::holds_alternative<automation::Empty>(v)) return {};
    if (auto* s = std::get_if<std::u16string>(&v)) return *s;
    if (auto* b = std::get_if<bool>(&v)) return *b ? u"True" : u"False";
    if (auto* i = std::get_if<int32_t>(&v)) return fromUtf8(std::to_string(*i));
    if (auto* d = std::get_if<double>(&v)) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.15g", *d);
        return fromUtf8(buf);
    }
    typeMismatch();
}

// Office has no such call: the text a read gives, as the model converts it.
void Object::appendText(std::u16string_view name, std::u16string& out) { out += toText(get(name)); }

int32_t toInt(const Value& v) {
    if (std::holds_alternative<automation::Empty>(v)) return 0;
    if (auto* i = std::get_if<int32_t>(&v)) return *i;
    if (auto* b = std::get_if<bool>(&v)) return *b ? -1 : 0;
    if (auto* d = std::get_if<double>(&v)) return roundedInt(*d);
    if (auto* s = std::get_if<std::u16string>(&v)) return roundedInt(numberIn(*s));
    typeMismatch();
}

bool toBool(const Value& v) {
    if (std::holds_alternative<automation::Empty>(v)) return false;
    if (auto* b = std::get_if<bool>(&v)) return *b;
    if (auto* i = std::get_if<int32_t>(&v)) return *i != 0;
    if (auto* d = std::get_if<double>(&v)) return *d != 0;
    if (auto* s = std::get_if<std::u16string>(&v)) {
        if (equalsIgnoreCase(trimmed(*s), u"True")) return true;
        if (equalsIgnoreCase(trimmed(*s), u"False")) return false;
        return numberIn(*s) != 0;
    }
    typeMismatch();
}

ObjectRef toObject(const Value& v) {
    if (auto* o = std::get_if<ObjectRef>(&v)) return *o;
    typeMismatch();
}

}  // namespace torva::model
