#pragma once
// The event side of the automation seam: a sink the add-in hands to an
// Office object's connection point, calling the handler for each event.

#include <windows.h>
#include <oaidl.h>

#include "automation/Automation.h"

namespace torva::automation::win {

// Advises a sink for `eventIid` on `source`; the subscription's end unadvises.
Subscription subscribeEvents(IDispatch* source, const IID& eventIid, EventHandler handler);

}  // namespace torva::automation::win
