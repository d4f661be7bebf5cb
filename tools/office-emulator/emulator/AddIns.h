#pragma once
// The COM add-ins a host loads and every call Office makes into them through
// IDTExtensibility2: each made as COM makes it, connected, told of start-up
// and shutdown, disconnected. A call that fails is noted, never thrown.

#include <windows.h>

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AddInRegistry.h"
#include "Hosts.h"
#include "RibbonHost.h"
#include "Scenario.h"
#include "platform/win/Com.h"
#include "platform/win/Extensibility.h"
#include "platform/win/Handle.h"

namespace torva::emulator {

// The report's hostCallFailures: each call into the add-in that failed.
class HostCallFailures {
  public:
    // RETURNED, for an event: what the sink's Invoke itself returned.
    void add(const char* call, HRESULT hr, std::u16string description,
             std::optional<HRESULT> returned = std::nullopt);
    const nlohmann::ordered_json& json() const { return failures_; }

  private:
    nlohmann::ordered_json failures_ = nlohmann::ordered_json::array();
};

using Module = win::UniqueModule;

// Servers the run loaded itself, for a class only the user's view holds. They
// stay loaded until the run ends, as COM keeps a server until the apartment
// ends: their owner goes last, after everything they made.
class LoadedServers {
  public:
    void keep(Module server) { servers_.push_back(std::move(server)); }

  private:
    std::vector<Module> servers_;
};

// What the host hands an add-in as it connects: its Application, and the
// window object its Ribbon controls name as their Context.
struct HostObjects {
    model::ObjectRef application;
    model::ObjectRef ribbonContext;
};

class AddIns {
  public:
    AddIns(LoadedServers& servers, HostCallFailures& failures, RibbonHost& ribbon)
        : servers_(servers), failures_(failures), ribbon_(ribbon) {}
    AddIns(const AddIns&) = delete;
    AddIns& operator=(const AddIns&) = delete;

    // The add-ins registered to load at start-up for the host named HOST.
    void load(const std::u16string& host, HostObjects objects);
    std::vector<std::wstring> progIds() const;
    // Office's start-up: OnConnection, OnAddInsUpdate, OnStartupComplete.
    void startUp();
    // A host call of the scenario's steps, to every add-in it concerns.
    void call(step::HostCall call);
    // Office's shutdown: OnBeginShutdown and OnDisconnection, then it lets go of them.
    void shutDown();
    // The report's addins: progId, friendlyName, connected.
    nlohmann::ordered_json report() const;
    // The host lets go of the objects it handed out.
    void releaseExposed() { exposed_.clear(); }

  private:
    struct AddIn {
        Registered entry;
        std::shared_ptr<model::COMAddIn> instance;
        win::ComPtr<win::IDTExtensibility2> object;
        bool connected = false;
    };
    template <class F>
    bool hostCall(const char* name, F&& f);
    template <class F>
    void eachConnected(const char* name, F&& f);
    bool create(AddIn& a);
    HRESULT createFromServer(const CLSID& clsid, win::ComPtr<IUnknown>& unknown);
    IDispatch* exposed(const model::ObjectRef& o);
    void connect(AddIn& a, win::ext_ConnectMode mode);
    void disconnect(AddIn& a, win::ext_DisconnectMode mode);

    LoadedServers& servers_;
    HostCallFailures& failures_;
    RibbonHost& ribbon_;
    HostObjects host_;
    std::vector<AddIn> addins_;
    std::vector<win::ComPtr<IDispatch>> exposed_;
};

}  // namespace torva::emulator
