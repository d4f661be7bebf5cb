// The model's type information: one ITypeInfo per type name, answering
// GetDocumentation and GetTypeAttr and nothing deeper.

#include "ModelTypeInfo.h"

#include <map>
#include <memory>

#include "ComFace.h"

namespace torva::model::com {

namespace {
class ModelTypeInfo final : public ITypeInfo {
  public:
    static ModelTypeInfo& of(const std::u16string& name) {
        static std::map<std::u16string, std::unique_ptr<ModelTypeInfo>> types;
        auto& slot = types[name];
        if (!slot) slot.reset(new ModelTypeInfo(name));
        return *slot;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

  private:
    explicit ModelTypeInfo(std::u16string name) : name_(std::move(name)) {
        // FNV-1a of the name: stable across objects and runs.
        uint64_t h = 1469598103934665603ull;
        for (char16_t c : name_) h = (h ^ c) * 1099511628211ull;
        guid_.Data1 = static_cast<uint32_t>(h >> 32);
        guid_.Data2 = static_cast<uint16_t>(h >> 16);
        guid_.Data3 = static_cast<uint16_t>(h);
        const uint8_t tail[8] = {0x8D, 0x4E, 0x54, 0x6F, 0x72, 0x76, 0x61, 0x00};
        for (int i = 0; i < 8; ++i) guid_.Data4[i] = tail[i];
    }

  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ITypeInfo) return hand<ITypeInfo>(this, out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** out) override {
        if (!out) return E_POINTER;
        auto* attr = static_cast<TYPEATTR*>(CoTaskMemAlloc(sizeof(TYPEATTR)));
        if (!attr) return E_OUTOFMEMORY;
        *attr = TYPEATTR{};
        attr->guid = guid_;
        attr->memidConstructor = MEMBERID_NIL;
        attr->memidDestructor = MEMBERID_NIL;
        attr->typekind = TKIND_DISPATCH;
        attr->cbSizeVft = sizeof(void*) * 7;
        *out = attr;
        return S_OK;
    }
    void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* attr) override { CoTaskMemFree(attr); }
    HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* ctx,
                                               BSTR* helpFile) override {
        if (id != MEMBERID_NIL) return TYPE_E_ELEMENTNOTFOUND;
        if (name)
            *name = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(name_.data()),
                                      static_cast<UINT>(name_.size()));
        if (doc) *doc = nullptr;
        if (ctx) *ctx = 0;
        if (helpFile) *helpFile = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** out) override { return none(out); }
    HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT, FUNCDESC** out) override { return none(out); }
    HRESULT STDMETHODCALLTYPE GetVarDesc(UINT, VARDESC** out) override { return none(out); }
    HRESULT STDMETHODCALLTYPE GetNames(MEMBERID, BSTR*, UINT, UINT* n) override {
        if (n) *n = 0;
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT, HREFTYPE*) override {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT, INT*) override {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR*, UINT, MEMBERID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(PVOID, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE, ITypeInfo** out) override {
        return none(out);
    }
    HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID, INVOKEKIND, PVOID* out) override {
        return none(out);
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, PVOID* out) override {
        return none(out);
    }
    HRESULT STDMETHODCALLTYPE GetMops(MEMBERID, BSTR* out) override { return none(out); }
    HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** out, UINT* index) override {
        if (index) *index = 0;
        return none(out);
    }
    void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC*) override {}
    void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC*) override {}

  private:
    template <class T>
    static HRESULT none(T** out) {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    std::u16string name_;
    GUID guid_{};
};
}  // namespace

ITypeInfo* typeInfoOf(const std::u16string& typeName) { return &ModelTypeInfo::of(typeName); }

}  // namespace torva::model::com
