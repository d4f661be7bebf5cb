#pragma once
// The in-memory Office object model: one fake that serves the native unit
// tests directly and the Office emulator, which shows the same objects to the
// add-in as real IDispatch COM objects.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/Automation.h"

namespace torva::model {

using automation::Args;
using automation::Guid;
using automation::ObjectRef;
using automation::Value;

// An interface in the range Microsoft keeps for COM, OLE and Office's type
// libraries: they share the tail -0000-0000-C000-000000000046.
constexpr Guid oleIid(uint32_t first) { return {first, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}; }

// Arguments of a member after named ones were put in their places; a left-out
// argument is nullopt.
using Params = std::vector<std::optional<Value>>;

inline constexpr int32_t kDispEMemberNotFound = static_cast<int32_t>(0x80020003);
inline constexpr int32_t kDispEParamNotFound = static_cast<int32_t>(0x80020004);
inline constexpr int32_t kDispEBadParamCount = static_cast<int32_t>(0x8002000E);
inline constexpr int32_t kDispENotEnumerable = static_cast<int32_t>(0x80020003);

// Calls and live objects, counted for the tests and the emulator's report.
struct Counters {
    long calls = 0;        // get, put and call on any model object
    long liveObjects = 0;  // model objects not yet destroyed
};
Counters& counters();

class Object : public automation::Object, public std::enable_shared_from_this<Object> {
  public:
    explicit Object(std::u16string typeName);
    ~Object() override;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    Value get(std::u16string_view name, const Args& args = {}) override;
    void put(std::u16string_view name, const Value& value) override;
    Value call(std::u16string_view name, const Args& args = {}) override;
    std::vector<Value> items() override;
    void appendText(std::u16string_view name, std::u16string& out) override;
    std::u16string typeName() override { return typeName_; }
    ObjectRef queryInterface(const Guid& iid) override;
    automation::Subscription subscribe(const Guid& eventIid,
                                       automation::EventHandler handler) override;
    bool sameObject(automation::Object& other) override { return this == &other; }
    // An Outlook item: Exchange counts the ones a client holds open.
    virtual bool isOpenItem() const { return false; }
    // IOleWindow::GetWindow, for an object given a window; others do not
    // offer IOleWindow.
    intptr_t oleWindow() override;
    bool hasWindow() const { return static_cast<bool>(window_); }

    // Raises an event to every subscriber of that event interface.
    void fire(const Guid& eventIid, int32_t dispid, std::vector<Value>& args);
    size_t subscriberCount(const Guid& eventIid) const;

    // What the COM adapter needs to hand out DISPIDs and parameter names.
    struct Member {
        std::u16string name;
        int32_t dispid = 0;
        std::vector<std::u16string> params;       // declared order, for named arguments
        std::function<Value(const Params&)> get;  // property get or method
        std::function<void(const Value&)> put;    // property put; empty: read-only
        bool isMethod = false;
    };
    const Member* findMember(std::u16string_view name) const;  // case-insensitive
    const Member* findMember(int32_t dispid) const;
    const std::vector<Member>& members() const { return members_; }
    bool offers(const Guid& iid) const;
    bool enumerable() const { return static_cast<bool>(items_); }
    std::vector<Guid> eventInterfaces() const { return events_; }

  protected:
    // dispid 0 lets the object number the member itself (from 0x40000000).
    void property(std::u16string name, std::function<Value(const Params&)> getter,
                  std::function<void(const Value&)> setter = {},
                  std::vector<std::u16string> params = {}, int32_t dispid = 0);
    void method(std::u16string name, std::vector<std::u16string> params,
                std::function<Value(const Params&)> fn, int32_t dispid = 0);
    void implements(const Guid& iid) { interfaces_.push_back(iid); }
    void sourceOf(const Guid& eventIid) { events_.push_back(eventIid); }
    void enumerableAs(std::function<std::vector<Value>()> items) { items_ = std::move(items); }
    // The object answers IOleWindow with what this gives.
    void windowFrom(std::function<intptr_t()> window) { window_ = std::move(window); }

  private:
    Params place(const Member& m, const Args& args) const;

    std::u16string typeName_;
    std::vector<Member> members_;
    std::vector<Guid> interfaces_;
    std::vector<Guid> events_;
    std::function<std::vector<Value>()> items_;
    std::function<intptr_t()> window_;
    struct Sink {
        Guid iid;
        long id;
        automation::EventHandler handler;
    };
    std::shared_ptr<std::vector<Sink>> sinks_ = std::make_shared<std::vector<Sink>>();
    long nextSink_ = 1;
    int32_t nextDispid_ = 0x40000000;
};

// Small helpers for member implementations.
Value param(const Params& p, size_t i);  // throws when left out
Value paramOr(const Params& p, size_t i, Value fallback);
bool equalsIgnoreCase(std::u16string_view a, std::u16string_view b);

// What Office makes of an argument declared with a type, as OLE Automation's
// coercion does it (banker's rounding, "True"/"False", overflow and type
// mismatch errors). The model's own, not the add-in's conversions, so that
// the same conversion fault cannot hide on both sides.
std::u16string toText(const Value& v);
int32_t toInt(const Value& v);
bool toBool(const Value& v);
ObjectRef toObject(const Value& v);

}  // namespace torva::model
