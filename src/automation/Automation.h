#pragma once
// The seam to Office: late-bound access to an Office object, as the add-in
// needs it. Two backends: IDispatch on Windows (DispatchObject.h) and the
// in-memory object model that the tests and the Office emulator use.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "base/Error.h"
#include "base/Guid.h"

namespace torva::automation {

class Object;

// VB's error for a member reached through a reference that holds Nothing.
inline constexpr int32_t kErrorObjectNotSet = vb::kObjectNotSet;
[[noreturn]] void throwObjectNotSet();

// A counted reference to an Office object, or Nothing (null). Using it as an
// object while it holds Nothing raises error 91, as VB does: a call site
// cannot forget the check, and nothing is ever dereferenced through null.
class ObjectRef : public std::shared_ptr<Object> {
  public:
    using std::shared_ptr<Object>::shared_ptr;
    ObjectRef() noexcept = default;
    ObjectRef(std::shared_ptr<Object> object) noexcept  // NOLINT: a plain reference converts
        : std::shared_ptr<Object>(std::move(object)) {}

    Object* operator->() const {
        if (!*this) throwObjectNotSet();
        return get();
    }
    Object& operator*() const { return *operator->(); }
};

struct Empty {
    bool operator==(const Empty&) const = default;
};
struct Null {
    bool operator==(const Null&) const = default;
};
struct Date {
    double oleDate;  // days since 30 December 1899, as VT_DATE
    bool operator==(const Date&) const = default;
};

// An automation value. An ObjectRef that is null is VB's Nothing.
using Value = std::variant<Empty, Null, bool, int32_t, double, Date, std::u16string, ObjectRef>;

// One argument of a call: positional or named, or left out (VT_ERROR with
// DISP_E_PARAMNOTFOUND on the wire).
struct Arg {
    std::u16string name;  // empty: positional
    Value value;
    bool omitted = false;

    Arg(Value v) : value(std::move(v)) {}                       // NOLINT: positional by conversion
    Arg(const char16_t* text) : value(std::u16string(text)) {}  // NOLINT
    Arg(int v) : value(static_cast<int32_t>(v)) {}              // NOLINT
    Arg(bool v) : value(v) {}                                   // NOLINT
    static Arg named(std::u16string name, Value v) {
        Arg a(std::move(v));
        a.name = std::move(name);
        return a;
    }
    static Arg missing() {
        Arg a{Value{Empty{}}};
        a.omitted = true;
        return a;
    }
};
using Args = std::vector<Arg>;

using torva::Guid;

// A failed Office call: the HRESULT and the description the object gave
// (EXCEPINFO) or the system's text for the HRESULT.
class Error : public torva::Error {
  public:
    Error(int32_t hresult, std::u16string description)
        : torva::Error(torva::Error::fromHResult(hresult, std::move(description))) {}
};

inline constexpr int32_t kENoInterface = static_cast<int32_t>(0x80004002);
inline constexpr int32_t kEFail = static_cast<int32_t>(0x80004005);
inline constexpr int32_t kDispEUnknownName = static_cast<int32_t>(0x80020006);
inline constexpr int32_t kDispETypeMismatch = static_cast<int32_t>(0x80020005);

// Receives the events of one event interface; args in declaration order.
using EventHandler = std::function<void(int32_t dispid, std::vector<Value>& args)>;

// Ends the subscription when destroyed.
class Subscription {
  public:
    Subscription() = default;
    explicit Subscription(std::function<void()> unsubscribe)
        : unsubscribe_(std::move(unsubscribe)) {}
    Subscription(Subscription&& o) noexcept : unsubscribe_(std::move(o.unsubscribe_)) {
        o.unsubscribe_ = nullptr;
    }
    Subscription& operator=(Subscription&& o) noexcept {
        if (this != &o) {
            reset();
            unsubscribe_ = std::move(o.unsubscribe_);
            o.unsubscribe_ = nullptr;
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { reset(); }
    void reset() noexcept {
        if (auto f = std::move(unsubscribe_)) {
            unsubscribe_ = nullptr;
            try {
                f();
            } catch (...) {  // the source may be gone already
            }
        }
    }
    explicit operator bool() const noexcept { return static_cast<bool>(unsubscribe_); }

  private:
    std::function<void()> unsubscribe_;
};

// An Office object reached late-bound. Every member throws automation::Error
// when the call fails.
class Object {
  public:
    virtual ~Object() = default;

    // Property get (or a method called for its result), with arguments:
    // Cells.Item(r, c), Address(ReferenceStyle:=-4150).
    virtual Value get(std::u16string_view name, const Args& args = {}) = 0;
    // The property's text as asString gives it, appended to out: a line of
    // many properties is built without a string for each.
    virtual void appendText(std::u16string_view name, std::u16string& out) = 0;
    virtual void put(std::u16string_view name, const Value& value) = 0;
    // A text property set from a literal, a string or a view alike.
    template <typename Text>
    requires(std::is_convertible_v<const Text&, std::u16string_view> &&
             !std::is_same_v<Text, Value>) void put(std::u16string_view name, const Text& text) {
        put(name, Value{std::u16string(std::u16string_view(text))});
    }
    virtual Value call(std::u16string_view name, const Args& args = {}) = 0;
    // For Each over the object (_NewEnum).
    virtual std::vector<Value> items() = 0;
    // VB's TypeName: the name of the object's class ("Range").
    virtual std::u16string typeName() = 0;
    // QueryInterface by IID; throws Error(kENoInterface) when not offered.
    virtual ObjectRef queryInterface(const Guid& iid) = 0;
    // Connection-point subscription to an event interface of the object.
    virtual Subscription subscribe(const Guid& eventIid, EventHandler handler) = 0;
    // True when both refer to the same object (COM identity).
    virtual bool sameObject(Object& other) = 0;
    // The window of an object that offers IOleWindow (GetWindow); throws
    // Error(kENoInterface) where it is not offered, as by default.
    virtual intptr_t oleWindow() {
        throw Error(kENoInterface, u"The object has no window (IOleWindow)");
    }
};

// --- Value helpers: VB's conversions where the add-in relies on them -----
bool isNothing(const Value& v);
ObjectRef asObject(const Value& v);       // throws type mismatch unless an object (or Nothing)
std::u16string asString(const Value& v);  // text, numbers in invariant form, Empty/Null ""
ObjectRef asObject(Value&& v);            // the same, moving out of a temporary
std::u16string asString(Value&& v);
int32_t asInt(const Value& v);  // ints, bools (-1/0), whole doubles, digits
bool asBool(const Value& v);
double asDouble(const Value& v);
Date asDate(const Value& v);

}  // namespace torva::automation
