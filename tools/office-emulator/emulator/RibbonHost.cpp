#include "RibbonHost.h"

#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "RibbonDispatch.h"
#include "base/Text.h"

namespace torva::emulator {

namespace {
using nlohmann::ordered_json;
using win::ComPtr;

constexpr int kHimetricPerInch = 2540;
constexpr int kScreenDpi = 96;

double versionNumber(const std::u16string& version) {
    return std::strtod(toUtf8(version).c_str(), nullptr);
}

std::u16string excepText(win::ExcepInfo& excep, HRESULT hr) {
    std::u16string d = excep.description();
    return d.empty() ? win::hresultText(hr) : d;
}
}  // namespace

struct RibbonHost::Loaded {
    ComPtr<IRibbonExtensibility> extensibility;
    ComPtr<IDispatch> callbacks;  // the connect object's IDispatch, where callbacks are found
    std::shared_ptr<model::RibbonUI> ui;
    ComPtr<IDispatch> uiFace;  // Office's own reference while the add-in is loaded
    std::vector<std::u16string> asked;
};

RibbonHost::RibbonHost(model::HostKind host, std::u16string version, Failure failed)
    : host_(host), version_(std::move(version)), failed_(std::move(failed)) {}

RibbonHost::~RibbonHost() = default;

std::u16string RibbonHost::mainRibbonId() const {
    const double v = versionNumber(version_);
    switch (host_) {
        case model::HostKind::Excel:
            return v >= 12 ? u"Microsoft.Excel.Workbook" : u"";
        case model::HostKind::Word:
            return v >= 12 ? u"Microsoft.Word.Document" : u"";
        case model::HostKind::Access:
            return v >= 12 ? u"Microsoft.Access.Database" : u"";
        case model::HostKind::Outlook:
            return v >= 14 ? u"Microsoft.Outlook.Explorer" : u"";
    }
    return u"";
}

bool RibbonHost::inspectorsHaveRibbon() const {
    return host_ == model::HostKind::Outlook && versionNumber(version_) >= 12;
}

void RibbonHost::load(const std::u16string& key, IUnknown* connect, model::ObjectRef context) {
    if (mainRibbonId().empty() && !inspectorsHaveRibbon()) return;
    auto addin = std::make_unique<Loaded>();
    const HRESULT hr =
        connect->QueryInterface(kIidRibbonExtensibility, addin->extensibility.putVoid());
    extensibility_[toUtf8(key)] = SUCCEEDED(hr) && addin->extensibility;
    // An add-in without IRibbonExtensibility simply has no Ribbon.
    if (FAILED(hr) || !addin->extensibility) return;
    connect->QueryInterface(IID_IDispatch, addin->callbacks.putVoid());
    // Connected again after the user unticked it: its earlier buttons went with it.
    std::erase_if(buttons_, [&](const Applied& b) { return b.key == key; });
    Loaded& a = *addin;
    loaded_[key] = std::move(addin);
    if (const std::u16string id = mainRibbonId(); !id.empty()) ask(a, id, context);
}

void RibbonHost::openInspector(const std::u16string& ribbonId, model::ObjectRef context) {
    if (!inspectorsHaveRibbon()) return;
    for (auto& [key, addin] : loaded_)
        if (std::find(addin->asked.begin(), addin->asked.end(), ribbonId) == addin->asked.end())
            ask(*addin, ribbonId, context);
}

void RibbonHost::ask(Loaded& addin, const std::u16string& ribbonId,
                     const model::ObjectRef& context) {
    addin.asked.push_back(ribbonId);
    if (std::find(ribbonIds_.begin(), ribbonIds_.end(), toUtf8(ribbonId)) == ribbonIds_.end())
        ribbonIds_.push_back(toUtf8(ribbonId));
    const std::u16string key = [&] {
        for (auto& [k, a] : loaded_)
            if (a.get() == &addin) return k;
        return std::u16string();
    }();
    win::Bstr id(ribbonId), xml;
    SetErrorInfo(0, nullptr);
    const HRESULT hr = addin.extensibility->GetCustomUI(id.get(), xml.put());
    if (FAILED(hr)) {
        failed_("GetCustomUI", hr, win::hresultText(hr));
        answers_.push_back(
            {{"progId", toUtf8(key)}, {"ribbonId", toUtf8(ribbonId)}, {"xml", nullptr}});
        return;
    }
    const std::u16string markup = xml.str();
    answers_.push_back(
        {{"progId", toUtf8(key)}, {"ribbonId", toUtf8(ribbonId)}, {"xml", toUtf8(markup)}});
    if (ribbonId == mainRibbonId() && mainXml_.is_null()) mainXml_ = toUtf8(markup);
    // An empty answer customises nothing.
    if (markup.empty()) return;
    const auto resolves = [&](const std::u16string& name) {
        if (!addin.callbacks) return false;
        std::u16string copy = name;
        LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(copy.data())};
        DISPID dispid = DISPID_UNKNOWN;
        return SUCCEEDED(
            addin.callbacks->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid));
    };
    ribbon::Markup checked =
        ribbon::checkMarkup(markup, ribbonId, resolves, versionNumber(version_) >= 14);
    if (!checked.errors.empty()) {
        // Office applies nothing of a document with one error.
        for (auto& e : checked.errors) errors_.push_back(toUtf8(ribbonId) + ": " + e);
        return;
    }
    if (!checked.onLoad.empty() && !addin.ui) {
        addin.ui = std::make_shared<model::RibbonUI>();
        addin.uiFace = model::com::ribbonUIFor(addin.ui);
        if (SUCCEEDED(callback(addin, u"onLoad", checked.onLoad, addin.uiFace.get(), nullptr)))
            ++onLoads_;
    }
    for (auto& b : checked.buttons) {
        Applied applied{key, ribbonId, b, context, nullptr};
        auto control = std::make_shared<model::RibbonControl>(b.id, context, b.tag);
        // Each getter gets a control of its own, as Office hands them out.
        auto getText = [&](const std::u16string& attribute, const std::u16string& name,
                           std::u16string& into) {
            if (name.empty()) return;
            auto face = model::com::ribbonControlFor(
                std::make_shared<model::RibbonControl>(b.id, context, b.tag));
            win::Variant v;
            if (SUCCEEDED(callback(addin, attribute, name, face.get(), v.get())) &&
                V_VT(v.get()) == VT_BSTR)
                into = win::Bstr::attach(std::exchange(V_BSTR(v.get()), nullptr)).str();
        };
        getText(u"getLabel", b.getLabel, applied.button.label);
        getText(u"getSupertip", b.getSupertip, applied.button.supertip);
        if (!b.getImage.empty()) {
            auto face = model::com::ribbonControlFor(control);
            win::Variant v;
            if (SUCCEEDED(callback(addin, u"getImage", b.getImage, face.get(), v.get())))
                applied.image = picture(*v.get());
        }
        buttons_.push_back(std::move(applied));
    }
}

HRESULT RibbonHost::callback(Loaded& addin, const std::u16string& attribute,
                             const std::u16string& name, IDispatch* argument, VARIANT* result) {
    const std::string call = toUtf8(attribute);
    std::u16string copy = name;
    LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(copy.data())};
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT hr = addin.callbacks ? addin.callbacks->GetIDsOfNames(IID_NULL, names, 1,
                                                                  LOCALE_USER_DEFAULT, &dispid)
                                 : E_NOINTERFACE;
    if (FAILED(hr)) {
        failed_(call.c_str(), hr, win::hresultText(hr));
        return hr;
    }
    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_DISPATCH;
    V_DISPATCH(&arg) = argument;  // borrowed for the call
    DISPPARAMS params{&arg, nullptr, 1, 0};
    win::ExcepInfo excep;
    win::Variant ignored;
    UINT argErr = 0;
    SetErrorInfo(0, nullptr);
    hr = addin.callbacks->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                 result ? result : ignored.get(), excep.get(), &argErr);
    if (hr == DISP_E_EXCEPTION) {
        const HRESULT real = excep.hresult(hr);
        failed_(call.c_str(), real, excepText(excep, real));
        return real;
    }
    if (FAILED(hr)) failed_(call.c_str(), hr, win::hresultText(hr));
    return hr;
}

// The picture getImage gave: its size in pixels at 96 DPI (IPicture gives
// HIMETRIC) and, for a bitmap or icon, the size of the bitmap itself.
ordered_json RibbonHost::picture(const VARIANT& v) const {
    IUnknown* unknown = V_VT(&v) == VT_DISPATCH  ? V_DISPATCH(&v)
                        : V_VT(&v) == VT_UNKNOWN ? V_UNKNOWN(&v)
                                                 : nullptr;
    if (!unknown)
        return {
            {"error", "getImage gave no object (VARIANT type " + std::to_string(V_VT(&v)) + ")"}};
    ComPtr<IPicture> pic;
    if (FAILED(unknown->QueryInterface(IID_IPicture, pic.putVoid())) || !pic)
        return {{"error", "getImage gave an object that is no IPicture"}};
    SHORT type = PICTYPE_UNINITIALIZED;
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    OLE_HANDLE handle = 0;
    pic->get_Type(&type);
    pic->get_Width(&w);
    pic->get_Height(&h);
    pic->get_Handle(&handle);
    const auto pixels = [](long himetric) {
        return MulDiv(static_cast<int>(himetric), kScreenDpi, kHimetricPerInch);
    };
    ordered_json out = {{"width", pixels(w)},
                        {"height", pixels(h)},
                        {"type", type == PICTYPE_BITMAP ? "bitmap"
                                 : type == PICTYPE_ICON ? "icon"
                                                        : std::to_string(type)}};
    HBITMAP bitmap = nullptr;
    ICONINFO icon{};
    if (type == PICTYPE_BITMAP) {
        bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    } else if (type == PICTYPE_ICON &&
               GetIconInfo(reinterpret_cast<HICON>(static_cast<UINT_PTR>(handle)), &icon)) {
        bitmap = icon.hbmColor ? icon.hbmColor : icon.hbmMask;
    }
    BITMAP info{};
    if (bitmap && GetObjectW(bitmap, sizeof info, &info))
        out["bitmap"] = {
            {"width", info.bmWidth}, {"height", info.bmHeight}, {"bitsPerPixel", info.bmBitsPixel}};
    if (icon.hbmColor) DeleteObject(icon.hbmColor);
    if (icon.hbmMask) DeleteObject(icon.hbmMask);
    return out;
}

bool RibbonHost::click(const std::u16string& id) {
    for (auto& applied : buttons_) {
        if (applied.button.id != id) continue;
        auto it = loaded_.find(applied.key);
        if (it == loaded_.end()) return false;  // the add-in is gone, its button with it
        ++onActions_;
        if (applied.button.onAction.empty()) return true;  // a button that does nothing
        auto face = model::com::ribbonControlFor(std::make_shared<model::RibbonControl>(
            applied.button.id, applied.context, applied.button.tag));
        callback(*it->second, u"onAction", applied.button.onAction, face.get(), nullptr);
        return true;
    }
    return false;
}

bool RibbonHost::hasButton(const std::u16string& id) const {
    return std::any_of(buttons_.begin(), buttons_.end(),
                       [&](const Applied& a) { return a.button.id == id && loaded_.count(a.key); });
}

void RibbonHost::unload(const std::u16string& key) {
    auto it = loaded_.find(key);
    if (it == loaded_.end()) return;
    if (it->second->ui) invalidations_ += it->second->ui->invalidations;
    loaded_.erase(it);
}

ordered_json RibbonHost::report() const {
    if (mainRibbonId().empty() && !inspectorsHaveRibbon()) return nullptr;
    ordered_json buttons = ordered_json::array();
    for (const auto& a : buttons_) {
        const auto& b = a.button;
        buttons.push_back({{"id", toUtf8(b.id)},
                           {"ribbonId", toUtf8(a.ribbonId)},
                           {"tab", toUtf8(b.tab)},
                           {"group", toUtf8(b.group)},
                           {"groupLabel", toUtf8(b.groupLabel)},
                           {"insertAfterMso", toUtf8(b.groupInsertAfterMso)},
                           {"insertBeforeMso", toUtf8(b.groupInsertBeforeMso)},
                           {"label", toUtf8(b.label)},
                           {"supertip", toUtf8(b.supertip)},
                           {"screentip", toUtf8(b.screentip)},
                           {"size", toUtf8(b.size)},
                           {"image", a.image}});
    }
    long invalidations = invalidations_;
    for (const auto& [key, a] : loaded_)
        if (a->ui) invalidations += a->ui->invalidations;
    return {{"officeVersion", toUtf8(version_)},
            {"ribbonIds", ribbonIds_},
            {"xml", mainXml_},
            {"errors", errors_},
            {"buttons", std::move(buttons)},
            {"answers", answers_},
            {"extensibility", extensibility_},
            {"onLoad", onLoads_},
            {"onAction", onActions_},
            {"invalidations", invalidations}};
}

}  // namespace torva::emulator
