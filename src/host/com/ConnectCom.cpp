// The connect classes as Office sees them: IDTExtensibility2 and
// IRibbonExtensibility (called through their vtables) and the class's default
// dual interface, served from the embedded type library, which also carries
// GetCustomUI and the Ribbon's callbacks for late-bound callers. Every handler
// runs inside `guarded`, so that no C++ exception ever reaches the host; a
// failure the host must see becomes the HRESULT of the call, with its
// description as the thread's error info.

#include "host/com/ConnectCom.h"

#include <memory>

#include "TorvaAddIn_h.h"
#include "automation/win/DispatchObject.h"
#include "host/ConnectClass.h"
#include "host/frmPicStore.h"
#include "host/com/Module.h"
#include "platform/win/Com.h"
#include "platform/win/ComObject.h"
#include "platform/win/Extensibility.h"
#include "platform/win/Picture.h"
#include "platform/win/RibbonExtensibility.h"

namespace torva::com {

namespace {

template <typename F>
HRESULT guarded(REFIID iid, F&& body) noexcept {
    try {
        body();
        return S_OK;
    } catch (...) {
        return win::failFromCaught(iid);
    }
}

automation::ObjectRef fromCom(IDispatch* object) { return automation::win::wrapDispatch(object); }

HRESULT toCom(const automation::ObjectRef& object, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!object) return S_OK;
    // Every object the add-in holds came from COM.
    *out = automation::win::dispatchOf(object).detach();
    return *out ? S_OK : E_NOINTERFACE;
}

// The portable object can outlive its COM wrapper: the Access start-up timer
// holds it while it waits for a database. It counts in the module count
// itself (released last, after the object), so that COM cannot unload the
// DLL under a timer whose next tick would run freed code.
template <typename Portable>
struct CountedPortable final : win::ModuleReference, Portable {};

// What the four classes share: IUnknown, IDispatch over the default
// interface, IDTExtensibility2, IRibbonExtensibility, ISupportErrorInfo, and
// IProvideClassInfo, which tells a client (VB's TypeName, an object browser)
// the class and not only its interface, as every VB class does.
template <typename Derived, typename Portable, typename DefaultInterface, const CLSID* Clsid>
class ConnectCom
    : public win::ComObject<Derived, DefaultInterface, win::IDTExtensibility2,
                            win::IRibbonExtensibility, ISupportErrorInfo, IProvideClassInfo> {
  public:
    ConnectCom() : portable_(std::make_shared<CountedPortable<Portable>>()) {
        win::ComPtr<ITypeLib> library;
        win::throwIfFailed(LoadTypeLibEx(win::wide(modulePath()), REGKIND_NONE, library.put()));
        win::throwIfFailed(library->GetTypeInfoOfGuid(__uuidof(DefaultInterface), typeInfo_.put()));
        win::throwIfFailed(library->GetTypeInfoOfGuid(*Clsid, classInfo_.put()));
    }

    void* interfaceFor(REFIID iid) noexcept {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(DefaultInterface))
            return static_cast<DefaultInterface*>(this);
        if (iid == win::IID_IDTExtensibility2) return static_cast<win::IDTExtensibility2*>(this);
        if (iid == win::IID_IRibbonExtensibility)
            return static_cast<win::IRibbonExtensibility*>(this);
        if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
        if (iid == IID_IProvideClassInfo) return static_cast<IProvideClassInfo*>(this);
        return nullptr;
    }

    // IDispatch, for every dual interface: the default one is described by
    // our type library; IDTExtensibility2 is called through its vtable, and
    // GetCustomUI has the same DISPID in the default interface as in
    // IRibbonExtensibility.
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return typeInfo_.queryTo(IID_ITypeInfo, reinterpret_cast<void**>(info));
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                               DISPID* ids) noexcept override {
        return typeInfo_->GetIDsOfNames(names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) noexcept override {
        return typeInfo_->Invoke(static_cast<DefaultInterface*>(this), id, flags, params, result,
                                 exception, argError);
    }

    // IDTExtensibility2.
    STDMETHODIMP OnConnection(IDispatch* application, win::ext_ConnectMode mode,
                              IDispatch* addInInst, SAFEARRAY**) noexcept override {
        return guarded(win::IID_IDTExtensibility2, [&] {
            portable_->AddinInstance_OnConnection(fromCom(application), mode, fromCom(addInInst));
        });
    }
    STDMETHODIMP OnDisconnection(win::ext_DisconnectMode mode, SAFEARRAY**) noexcept override {
        return guarded(win::IID_IDTExtensibility2,
                       [&] { portable_->AddinInstance_OnDisconnection(mode); });
    }
    STDMETHODIMP OnAddInsUpdate(SAFEARRAY**) noexcept override {
        return guarded(win::IID_IDTExtensibility2,
                       [&] { portable_->AddinInstance_OnAddInsUpdate(); });
    }
    STDMETHODIMP OnStartupComplete(SAFEARRAY**) noexcept override {
        return guarded(win::IID_IDTExtensibility2,
                       [&] { portable_->AddinInstance_OnStartupComplete(); });
    }
    STDMETHODIMP OnBeginShutdown(SAFEARRAY**) noexcept override {
        return guarded(win::IID_IDTExtensibility2,
                       [&] { portable_->AddinInstance_OnBeginShutdown(); });
    }

    // IRibbonExtensibility, and the default interface's copy of it.
    STDMETHODIMP GetCustomUI(BSTR ribbonId, BSTR* xml) noexcept override {
        if (!xml) return E_POINTER;
        *xml = nullptr;
        return guarded(win::IID_IRibbonExtensibility, [&] {
            const std::u16string id(reinterpret_cast<const char16_t*>(ribbonId ? ribbonId : L""),
                                    ribbonId ? SysStringLen(ribbonId) : 0);
            *xml = win::Bstr(portable_->GetCustomUI(id)).detach();
        });
    }

    // The callbacks the Ribbon markup names.
    STDMETHODIMP onLoad(IDispatch* ribbon) noexcept override {
        return guarded(__uuidof(DefaultInterface), [&] { portable_->onLoad(fromCom(ribbon)); });
    }
    STDMETHODIMP onAction(IDispatch* control) noexcept override {
        return guarded(__uuidof(DefaultInterface), [&] { portable_->onAction(fromCom(control)); });
    }
    // A large button's face: the 32x32 picture, decoded afresh (Office keeps
    // what a getter gave until the control is invalidated).
    STDMETHODIMP getImage(IDispatch*, IDispatch** image) noexcept override {
        if (!image) return E_POINTER;
        *image = nullptr;
        return guarded(__uuidof(DefaultInterface), [&] {
            const win::ComPtr<IPicture> picture = win::loadPicture(frmPicStore::ImgBigIcon());
            win::throwIfFailed(picture.queryTo(IID_IPictureDisp, reinterpret_cast<void**>(image)));
        });
    }

    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) noexcept override {
        return (iid == win::IID_IDTExtensibility2 || iid == win::IID_IRibbonExtensibility ||
                iid == __uuidof(DefaultInterface))
                   ? S_OK
                   : S_FALSE;
    }

    // IProvideClassInfo: the coclass of the type library.
    STDMETHODIMP GetClassInfo(ITypeInfo** info) noexcept override {
        if (!info) return E_POINTER;
        return classInfo_.queryTo(IID_ITypeInfo, reinterpret_cast<void**>(info));
    }

  protected:
    std::shared_ptr<Portable> portable_;
    win::ComPtr<ITypeInfo> typeInfo_;
    win::ComPtr<ITypeInfo> classInfo_;
};

// The host-application property of the default interface (ExcelInstance ...).
#define TORVA_INSTANCE_PROPERTY(Name)                                              \
    STDMETHODIMP get_##Name(IDispatch** value) noexcept override {                 \
        HRESULT hr = S_OK;                                                         \
        const HRESULT guard =                                                      \
            guarded(IID_IDispatch, [&] { hr = toCom(portable_->Name(), value); }); \
        return FAILED(guard) ? guard : hr;                                         \
    }                                                                              \
    STDMETHODIMP putref_##Name(IDispatch* value) noexcept override {               \
        return guarded(IID_IDispatch, [&] { portable_->Name(fromCom(value)); });   \
    }

class ExcelConnectCom final : public ConnectCom<ExcelConnectCom, TorvaExcelConnect,
                                                _TorvaExcelConnect, &CLSID_TorvaExcelConnect> {
  public:
    TORVA_INSTANCE_PROPERTY(ExcelInstance)
};

class WordConnectCom final : public ConnectCom<WordConnectCom, TorvaWordConnect, _TorvaWordConnect,
                                               &CLSID_TorvaWordConnect> {
  public:
    TORVA_INSTANCE_PROPERTY(WordInstance)
};

class OutlookConnectCom final
    : public ConnectCom<OutlookConnectCom, TorvaOutlookConnect, _TorvaOutlookConnect,
                        &CLSID_TorvaOutlookConnect> {
  public:
    TORVA_INSTANCE_PROPERTY(OutlookInstance)
};

class AccessConnectCom final : public ConnectCom<AccessConnectCom, TorvaAccessConnect,
                                                 _TorvaAccessConnect, &CLSID_TorvaAccessConnect> {
  public:
    STDMETHODIMP AddInTimer_Timer(VARIANT_BOOL* installed) noexcept override {
        if (!installed) return E_POINTER;
        *installed = VARIANT_FALSE;
        return guarded(__uuidof(_TorvaAccessConnect), [&] {
            *installed = portable_->AddInTimer_Timer() ? VARIANT_TRUE : VARIANT_FALSE;
        });
    }
};

#undef TORVA_INSTANCE_PROPERTY

template <typename T>
HRESULT create(REFIID iid, void** out) noexcept {
    return T::createInstance(iid, out);
}

}  // namespace

const std::vector<ClassEntry>& connectClassTable() {
    static const std::vector<ClassEntry> table = {
        {&CLSID_TorvaExcelConnect, &create<ExcelConnectCom>},
        {&CLSID_TorvaWordConnect, &create<WordConnectCom>},
        {&CLSID_TorvaAccessConnect, &create<AccessConnectCom>},
        {&CLSID_TorvaOutlookConnect, &create<OutlookConnectCom>},
    };
    return table;
}

}  // namespace torva::com
