#pragma once
// The host's Ribbon, as Office 2007 and later treat a COM add-in: after
// OnConnection it asks the connect object for IRibbonExtensibility, calls
// GetCustomUI with each ribbon ID it shows, checks the markup before it
// applies anything, then calls onLoad with an IRibbonUI and the getters of
// every button, and a press calls onAction with an IRibbonControl.

#include <windows.h>

#include <nlohmann/json.hpp>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Hosts.h"
#include "Ribbon.h"
#include "RibbonMarkup.h"
#include "platform/win/Com.h"

namespace torva::emulator {

// IRibbonExtensibility {000C0396-0000-0000-C000-000000000046}: a dual whose
// one method follows IDispatch's seven slots.
struct IRibbonExtensibility : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR ribbonId, BSTR* xml) = 0;
};
inline constexpr GUID kIidRibbonExtensibility{
    0x000C0396, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class RibbonHost {
  public:
    using Failure = std::function<void(const char* call, HRESULT hr, std::u16string description)>;
    RibbonHost(model::HostKind host, std::u16string version, Failure failed);
    ~RibbonHost();
    RibbonHost(const RibbonHost&) = delete;
    RibbonHost& operator=(const RibbonHost&) = delete;

    // The main window's ribbon ID at this version, "" where it has none
    // (Office before 2007, Outlook 2007's explorer).
    std::u16string mainRibbonId() const;
    // Item windows with a Ribbon: Outlook from 2007 on.
    bool inspectorsHaveRibbon() const;

    // After OnConnection of the add-in KEY; CONTEXT is the main window's object.
    void load(const std::u16string& key, IUnknown* connect, model::ObjectRef context);
    // Outlook opens an item window of that type: each add-in is asked the
    // first time; a non-empty answer is checked and applied like the main one.
    void openInspector(const std::u16string& ribbonId, model::ObjectRef context);
    // onAction of the applied button with that id; false when there is none.
    bool click(const std::u16string& id);
    // An applied button of a loaded add-in has that id.
    bool hasButton(const std::u16string& id) const;
    // The add-in was disconnected: Office lets go of it and of its IRibbonUI.
    void unload(const std::u16string& key);

    nlohmann::ordered_json report() const;

  private:
    struct Loaded;
    struct Applied {
        std::u16string key, ribbonId;
        ribbon::Button button;
        model::ObjectRef context;
        nlohmann::ordered_json image;
    };
    void ask(Loaded& addin, const std::u16string& ribbonId, const model::ObjectRef& context);
    HRESULT callback(Loaded& addin, const std::u16string& attribute, const std::u16string& name,
                     IDispatch* argument, VARIANT* result);
    nlohmann::ordered_json picture(const VARIANT& v) const;

    model::HostKind host_;
    std::u16string version_;
    Failure failed_;
    std::map<std::u16string, std::unique_ptr<Loaded>> loaded_;
    std::vector<Applied> buttons_;
    std::vector<std::string> errors_;
    nlohmann::ordered_json ribbonIds_ = nlohmann::ordered_json::array();
    nlohmann::ordered_json answers_ = nlohmann::ordered_json::array();
    nlohmann::ordered_json extensibility_ = nlohmann::ordered_json::object();
    nlohmann::ordered_json mainXml_;
    long onLoads_ = 0, onActions_ = 0, invalidations_ = 0;
};

}  // namespace torva::emulator
