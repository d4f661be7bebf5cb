#include "Ribbon.h"

namespace torva::model {

RibbonControl::RibbonControl(std::u16string id, ObjectRef context, std::u16string tag)
    : Object(u"IRibbonControl"),
      id_(std::move(id)),
      tag_(std::move(tag)),
      context_(std::move(context)) {
    property(
        u"Id", [this](const Params&) { return Value{id_}; }, {}, {}, 1);
    property(
        u"Context", [this](const Params&) { return Value{context_}; }, {}, {}, 2);
    property(
        u"Tag", [this](const Params&) { return Value{tag_}; }, {}, {}, 3);
}

RibbonUI::RibbonUI() : Object(u"IRibbonUI") {
    auto count = [](long& n) {
        return [&n](const Params&) {
            ++n;
            return Value{};
        };
    };
    method(u"Invalidate", {}, count(invalidations), 1);
    method(u"InvalidateControl", {u"ControlID"}, count(invalidations), 2);
    method(u"InvalidateControlMso", {u"ControlID"}, count(invalidations), 3);
    method(u"ActivateTab", {u"ControlID"}, count(tabActivations), 4);
    method(u"ActivateTabMso", {u"ControlID"}, count(tabActivations), 5);
    method(u"ActivateTabQ", {u"ControlID", u"Namespace"}, count(tabActivations), 6);
}

}  // namespace torva::model
