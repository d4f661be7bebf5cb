// The connect object's Ribbon callbacks: the markup once the connection has
// chosen the Ribbon, and the button's press.
#include "host/ConnectClass.h"

#include "support/StringIds.h"
#include "support/modStringTables.h"

namespace torva {

std::u16string ConnectClass::GetCustomUI(std::u16string_view RibbonID) const {
    if (!ribbonMode_) return {};
    return customUI(*host_.ribbon, officeVersion_, RibbonID, GetString(StringId::kToolbarName),
                    GetString(host_.buttonCaptionId), GetString(host_.buttonTooltipId));
}

void ConnectClass::onLoad(const ObjectRef& ribbon) { myRibbon = ribbon; }

void ConnectClass::onAction(const ObjectRef& control) {
    (void)control;
    myCommandbarbutton_Click();
}

}  // namespace torva
