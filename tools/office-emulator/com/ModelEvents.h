#pragma once
// A model object's events as COM connection points: the add-in's sinks are
// advised on the object's adapter and called with the model's events.

#include <ocidl.h>

#include <map>

#include "ModelObject.h"

namespace torva::model::com {

// The connections made on one adapter. They live as long as the adapter, as
// with Office, where events stop once nobody holds the source object.
class Connections {
  public:
    explicit Connections(Object& source) : source_(source) {}
    HRESULT advise(const IID& iid, IUnknown* sink, DWORD* cookie) noexcept;
    HRESULT unadvise(DWORD cookie) noexcept;

  private:
    Object& source_;
    std::map<DWORD, automation::Subscription> connections_;
    DWORD nextCookie_ = 1;
};

// IConnectionPointContainer::FindConnectionPoint of CONTAINER, whose
// CONNECTIONS the point serves; the point holds a reference on CONTAINER.
HRESULT findConnectionPoint(IConnectionPointContainer* container, Connections& connections,
                            const Object& source, REFIID riid, IConnectionPoint** out);

}  // namespace torva::model::com
