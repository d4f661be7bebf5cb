#include "ModelObject.h"

#include <algorithm>

#include "base/Text.h"

namespace torva::model {

namespace {
constexpr Guid kIUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr Guid kIDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

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

}  // namespace torva::model
