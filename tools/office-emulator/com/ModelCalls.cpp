// The journal of a run: every call the add-in makes of the model's objects,
// counted per member, and the injected faults that answer them.

#include "ComFace.h"
#include "base/Text.h"

namespace torva::model::com {

namespace {
// What Exchange answers in online mode past its limit of open items.
constexpr int32_t kMapiTooBig = static_cast<int32_t>(0x80040305);
constexpr char16_t kTooManyItems[] =
    u"Your server administrator has limited the number of items you can open "
    u"simultaneously. Try closing messages you have opened or removing attachments and "
    u"images from unsent messages you are composing.";

class InjectedFailure : public automation::Error {
  public:
    using automation::Error::Error;
};

std::u16string lowerCase(std::u16string s) {
    for (auto& c : s)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    return s;
}
}  // namespace

ComCounters& comCounters() {
    static ComCounters c;
    return c;
}

RunJournal& journal() {
    static RunJournal j;
    return j;
}

long& liveItemCount() {
    static long n = 0;
    return n;
}

long liveItems() { return liveItemCount(); }

void checkOpenItemLimit() {
    const long limit = journal().openItemLimit;
    if (limit > 0 && liveItemCount() >= limit) throw automation::Error(kMapiTooBig, kTooManyItems);
}

const InjectedFault* record(const std::u16string& type, const std::u16string& member) {
    RunJournal& j = journal();
    const long n = ++j.perMember[lowerCase(member)];
    j.calls.push_back(CallRecord{type, member, n, false, false, j.phase});
    for (const auto& f : j.faults)
        if (f.occurrence == n && equalsIgnoreCase(f.member, member)) {
            j.calls.back().faulted = true;
            return &f;
        }
    return nullptr;
}

void fault(const InjectedFault& f) { throw InjectedFailure(f.hresult, f.description); }

bool injectedBeingHandled() noexcept {
    try {
        throw;
    } catch (const InjectedFailure&) {
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace torva::model::com
