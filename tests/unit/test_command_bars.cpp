// modOffice's installer procedures on the emulated command bars.
#include "host/modOffice.h"
#include "test_connect_support.h"

using namespace torva;
using namespace torva::model;

namespace {

class CommandBarsTest : public test::HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        bars = makeHostCommandBars(u"Word");
        tools = std::static_pointer_cast<CommandBarPopup>(
            bars->find(u"Menu Bar")->controls()->list().at(2));
    }

    std::shared_ptr<CommandBarButton> addButton(CommandBarControls& controls,
                                                std::u16string caption) {
        auto b = std::static_pointer_cast<CommandBarButton>(controls.add(kMsoControlButton));
        b->setCaption(std::move(caption));
        return b;
    }
    std::shared_ptr<CommandBars> bars;
    std::shared_ptr<CommandBarPopup> tools;
};

}  // namespace

TEST_F(CommandBarsTest, GetAddinButtonTakesOnlyAButtonWithTheExactCaptionOrMakesAWholeOne) {
    auto bar = bars->add(u"Tb", kMsoBarTop, false, true);
    auto popup = bar->controls()->add(kMsoControlPopup, 1);
    popup->setCaption(u"Labels");
    auto other = addButton(*bar->controls(), u"labels");  // differs in case only

    ObjectRef made = getAddinButton(bar, u"Labels", u"Print labels");
    auto button = std::dynamic_pointer_cast<CommandBarButton>(made);
    ASSERT_TRUE(button) << "not a CommandBarButton";
    EXPECT_NE(made.get(), popup.get());
    EXPECT_NE(made.get(), other.get());
    EXPECT_EQ(bar->controls()->list().size(), 3u);
    EXPECT_EQ(button->caption(), u"Labels");
    EXPECT_EQ(button->tooltipText(), u"Print labels");
    EXPECT_EQ(button->style(), 3);  // icon and caption
    EXPECT_TRUE(button->temporary());
    EXPECT_EQ(button->id(), 1);
    ASSERT_TRUE(button->hasFace());
    EXPECT_EQ((std::pair{button->face()->width, button->face()->height}), (std::pair{16, 16}));
    EXPECT_EQ(button->tag(), u"ZEBRO.BUTTON");

    // Found again: unchanged, even when the user restyled it meanwhile, but
    // tagged again (an earlier version left it untagged).
    made->put(u"Style", Value{int32_t(0)});
    made->put(u"Tag", Value{u""});
    platform::posix::recorder().clipboard.reset();
    ObjectRef again = getAddinButton(bar, u"Labels", u"Other tooltip");
    EXPECT_TRUE(again->sameObject(*made));
    EXPECT_EQ(button->style(), 0);
    EXPECT_EQ(button->tooltipText(), u"Print labels");
    EXPECT_FALSE(platform::posix::recorder().clipboard) << "the face was pasted again";
    EXPECT_EQ(button->tag(), u"ZEBRO.BUTTON");
    // Another caption makes a second button beside the first.
    ObjectRef second = getAddinButton(bar, u"Labels 2", u"t");
    EXPECT_FALSE(second->sameObject(*made));
    EXPECT_EQ(bar->controls()->list().size(), 4u);

    // One whose face cannot be pasted (the clipboard holds nothing for it) is
    // deleted again: left half made it would take presses no handler hears.
    model::setClipboardSource([]() -> std::optional<model::ClipboardPicture> { return {}; });
    EXPECT_THROW(getAddinButton(bar, u"Labels 3", u"t"), torva::Error);
    EXPECT_EQ(bar->controls()->list().size(), 4u);
}

TEST_F(CommandBarsTest, AddMenuEntryReplacesEveryEntryWithItsCaption) {
    auto controls = tools->controls();
    auto old1 = addButton(*controls, u"Label");
    auto keep = addButton(*controls, u"label");
    auto old2 = addButton(*controls, u"Label");
    auto samePopup = controls->add(kMsoControlPopup, 1);
    samePopup->setCaption(u"Label");

    ObjectRef entry =
        addMenuEntry(bars, u"Menu Bar", 30007, u"Label", u"TorvaAddIn.TorvaWordConnect", u"WORD");
    auto made = std::dynamic_pointer_cast<CommandBarButton>(entry);
    ASSERT_TRUE(made) << "not a CommandBarButton";
    EXPECT_TRUE(old1->deleted());
    EXPECT_TRUE(old2->deleted());
    EXPECT_FALSE(keep->deleted());
    EXPECT_FALSE(samePopup->deleted());
    EXPECT_EQ(controls->withCaption(u"Label").size(), 2u);  // the popup and the new entry
    EXPECT_EQ(controls->list().back(), made);
    EXPECT_EQ(made->parameter(), u"WORD");
    EXPECT_EQ(made->onAction(), u"!<TorvaAddIn.TorvaWordConnect>");
    EXPECT_EQ(made->tag(), u"ZEBRO");
    EXPECT_EQ(made->style(), 3);
    EXPECT_TRUE(made->temporary());
    EXPECT_TRUE(made->hasFace());
    ASSERT_TRUE(platform::posix::recorder().clipboard);
    EXPECT_EQ(platform::posix::recorder().clipboard->width, 16);

    // A second installation makes a fresh entry in its place.
    ObjectRef next = addMenuEntry(bars, u"Menu Bar", 30007, u"Label", u"X", u"WORD");
    EXPECT_FALSE(next->sameObject(*entry));
    EXPECT_TRUE(made->deleted());
}

TEST_F(CommandBarsTest, RemoveMenuEntryDeletesOnlyTheFirstMatchingButtonOfTheToolsPopup) {
    auto controls = tools->controls();
    auto popup = controls->add(kMsoControlPopup, 1);
    popup->setCaption(u"Label");
    auto first = addButton(*controls, u"Label");
    auto second = addButton(*controls, u"Label");
    removeMenuEntry(bars, u"Menu Bar", 30007, u"Label");
    EXPECT_FALSE(popup->deleted());
    EXPECT_TRUE(first->deleted());
    EXPECT_FALSE(second->deleted());
    // As in Office, a deleted control answers no property any more.
    EXPECT_THROW(first->get(u"Caption"), torva::Error);
    EXPECT_THROW(first->put(u"Tag", Value{u"x"}), torva::Error);
    removeMenuEntry(bars, u"Menu Bar", 30007, u"LABEL");
    EXPECT_FALSE(second->deleted());

    // Without a Tools popup no entry is made nor removed; a button that
    // carries the popup's Id is not the popup.
    auto menu = bars->find(u"Menu Bar");
    tools->remove();
    menu->controls()->add(kMsoControlButton, 30007);
    const size_t before = menu->controls()->list().size();
    EXPECT_FALSE(findMenuPopup(bars, u"Menu Bar", 30007));
    EXPECT_FALSE(addMenuEntry(bars, u"Menu Bar", 30007, u"Label", u"P", u"WORD"));
    removeMenuEntry(bars, u"Menu Bar", 30007, u"Label");
    EXPECT_EQ(menu->controls()->list().size(), before);
    EXPECT_FALSE(platform::posix::recorder().clipboard);
}
