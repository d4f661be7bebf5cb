#include "automation/win/DispidCache.h"

#include <cstring>

#include "automation/win/DispatchObject.h"
#include "platform/win/Com.h"

namespace torva::automation::win {

using torva::win::ComPtr;

namespace {

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const {
        return std::memcmp(&a, &b, sizeof(GUID)) < 0;
    }
};

// DISPIDs are a property of the type, so objects of one kind share them: a
// cell asked for its Text costs one GetIDsOfNames for the whole export.
std::map<GUID, TypeTable, GuidLess>& typeTables() {
    static std::map<GUID, TypeTable, GuidLess> tables;
    return tables;
}

// The type table of the type information an object gave last, for the next
// object of the same kind (each contact of an export is a new wrapper): the
// ITypeInfo is held, so its address cannot meanwhile belong to another.
// Let go of when the last wrapper goes, and kept small, since a server may
// hand out a fresh ITypeInfo each time.
class KnownTypes {
  public:
    KnownTypes() = default;
    KnownTypes(const KnownTypes&) = delete;
    KnownTypes& operator=(const KnownTypes&) = delete;
    // At unload the host may be gone: what is still held goes with the process.
    ~KnownTypes() {
        for (auto& k : known_) static_cast<void>(k.info.detach());
    }

    TypeTable* find(ITypeInfo* info) const {
        for (const auto& k : known_)
            if (k.info.get() == info) return k.table;
        return nullptr;
    }
    void add(ITypeInfo* info, TypeTable* table) {
        if (known_.size() == kMax) known_.erase(known_.begin());
        known_.push_back({ComPtr<ITypeInfo>(info), table});
    }
    void clear() noexcept { known_.clear(); }

  private:
    static constexpr size_t kMax = 16;
    struct Known {
        ComPtr<ITypeInfo> info;
        TypeTable* table;
    };
    std::vector<Known> known_;
};

KnownTypes& knownTypes() {
    static KnownTypes known;
    return known;
}

// Wrappers alive: with none left, no type information is held either.
size_t liveWrappers = 0;

}  // namespace

TypeTable* sharedTypeTable(ITypeInfo* info) {
    if (!info) return nullptr;
    if (TypeTable* known = knownTypes().find(info)) return known;
    TypeTable* shared = nullptr;
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&attr)) && attr) {
        if (attr->guid != GUID_NULL) {
            shared = &typeTables()[attr->guid];
            knownTypes().add(info, shared);
        }
        info->ReleaseTypeAttr(attr);
    }
    return shared;
}

void wrapperCreated() noexcept { ++liveWrappers; }

void wrapperGone() noexcept {
    if (--liveWrappers == 0) knownTypes().clear();
}

size_t dispidCacheSize() {
    size_t n = 0;
    for (const auto& [guid, table] : typeTables()) n += table.size();
    return n;
}

}  // namespace torva::automation::win
