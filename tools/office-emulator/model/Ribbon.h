#pragma once
// The objects Office hands to a Ribbon add-in's callbacks: IRibbonUI to
// onLoad, IRibbonControl to every control callback. As model objects they are
// counted, journaled and open to a scenario's faults like the host's own.

#include <string>

#include "ModelObject.h"

namespace torva::model {

// IRibbonControl {000C0395-0000-0000-C000-000000000046}: Id 1, Context 2, Tag 3.
inline constexpr Guid kIidRibbonControl{
    0x000C0395, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// IRibbonUI {000C03A7-0000-0000-C000-000000000046}.
inline constexpr Guid kIidRibbonUI{
    0x000C03A7, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class RibbonControl : public Object {
  public:
    // CONTEXT: the window the control sits in (Office's Window, Outlook's
    // Explorer or Inspector).
    RibbonControl(std::u16string id, ObjectRef context, std::u16string tag);

  private:
    std::u16string id_, tag_;
    ObjectRef context_;
};

class RibbonUI : public Object {
  public:
    RibbonUI();
    long invalidations = 0;  // Invalidate and InvalidateControl* calls
    long tabActivations = 0;
};

}  // namespace torva::model
