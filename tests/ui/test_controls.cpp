// SPDX-License-Identifier: GPL-3.0-or-later
// Controls driven by synthetic events in an offscreen window, grouped by control.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/notify/notification_center.h"
#include "platform/ui/menu_view.h"
#include "platform/ui/vxui.h"
#include "ui_test_support.h"

using namespace ui;
using namespace ui_test;

namespace {

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application::shared().useOffscreen();
    mWindow = std::make_unique<Window>(Rect(0, 0, 400, 300), kTitledWindowMask);
    mWindow->setScaleFactor(1);
    mWindow->setContentView(std::make_unique<View>());
    mWindow->makeKeyAndOrderFront();
  }
  void TearDown() override { mWindow.reset(); }

  template <typename T>
  T* add(std::unique_ptr<T> view) {
    return mWindow->contentView()->addSubview(std::move(view));
  }

  std::unique_ptr<Window> mWindow;
  std::vector<Control*> mSenders;
  Action record() {
    return [this](Control* sender) { mSenders.push_back(sender); };
  }
};

// A vertical slider 30 x 200 at (20, 20): 188 points of travel for 0..100 (knob 12).
class SliderTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    mSlider = add(std::make_unique<Slider>(Rect(20, 20, 30, 200), 0, 100, 50));
    auto cell = std::make_unique<Counting<SliderCell>>();
    mCell = cell.get();
    mSlider->setCell(std::move(cell));
    mCell->setMinValue(0);
    mCell->setMaxValue(100);
    mCell->setDoubleValue(50);
    mSlider->setAction(record());
    mWindow->display();
  }
  Point knob() const {
    const Rect k = mCell->knobRectFlipped(true);
    return mSlider->convertPointToWindow({k.midX(), k.midY()});
  }
  Slider* mSlider = nullptr;
  Counting<SliderCell>* mCell = nullptr;
};

TEST_F(SliderTest, DragMovesByMouseDistanceWithOneBeginAndOneEnd) {
  const Point from = knob();
  EXPECT_NEAR(from.y, 120, 0.5);  // the middle of the travel
  drag(*mWindow, from, {from.x, from.y + 47});
  EXPECT_NEAR(mSlider->doubleValue(), 75, 0.01);
  EXPECT_EQ(mCell->begins, 1);
  EXPECT_EQ(mCell->ends, 1);
  EXPECT_EQ(mCell->misordered, 0);
  ASSERT_FALSE(mSenders.empty());
  EXPECT_EQ(mSenders.back(), mSlider);
  // Past the end the value stops at the maximum, and coming back moves it at once.
  drag(*mWindow, knob(), {from.x, from.y + 400});
  EXPECT_EQ(mSlider->doubleValue(), 100);
  EXPECT_EQ(mCell->begins, 2);
  EXPECT_EQ(mCell->ends, 2);
}

TEST_F(SliderTest, ShiftDragIsTenTimesFiner) {
  const Point from = knob();
  drag(*mWindow, from, {from.x, from.y - 47}, kShiftKey);
  EXPECT_NEAR(mSlider->doubleValue(), 47.5, 0.01);
}

TEST_F(SliderTest, ClickOnTheTrackJumpsThereThenDragsRelative) {
  const Point top = mSlider->convertPointToWindow({15, 6});  // the maximum's knob centre
  drag(*mWindow, top, {top.x, top.y - 47 / 2.0});
  EXPECT_NEAR(mSlider->doubleValue(), 87.5, 0.01);
  EXPECT_EQ(mCell->begins, 1);
  EXPECT_EQ(mCell->ends, 1);
}

TEST_F(SliderTest, WheelStepsEachNotchInItsOwnGesture) {
  const Point p = centreOf(*mSlider);
  mWindow->sendEvent(wheel(p, 1));
  mWindow->sendEvent(wheel(p, 1));
  EXPECT_NEAR(mSlider->doubleValue(), 52, 1e-9);
  mWindow->sendEvent(wheel(p, -1, kShiftKey));
  EXPECT_NEAR(mSlider->doubleValue(), 51.9, 1e-9);
  mCell->setWheelStep(5);
  mWindow->sendEvent(wheel(p, -3));
  EXPECT_NEAR(mSlider->doubleValue(), 36.9, 1e-9);
  EXPECT_EQ(mCell->begins, 4);
  EXPECT_EQ(mCell->ends, 4);
  EXPECT_EQ(mSenders.size(), 4u);
}

TEST_F(SliderTest, DoubleClickAndCtrlOrCommandClickRestoreTheDefault) {
  mCell->setDefaultValue(25);
  mWindow->sendEvent(mouse(EventType::MouseDown, knob(), 0, 2));
  mWindow->sendEvent(mouse(EventType::MouseDragged, {knob().x, knob().y + 30}, 0, 2));
  mWindow->sendEvent(mouse(EventType::MouseUp, {knob().x, knob().y + 30}, 0, 2));
  EXPECT_EQ(mSlider->doubleValue(), 25);  // no drag after a reset
  for (uint32_t mods : {kControlKey, kCommandKey}) {
    mSlider->setDoubleValue(90);
    mWindow->display();
    click(*mWindow, knob(), mods);
    EXPECT_EQ(mSlider->doubleValue(), 25);
  }
  EXPECT_EQ(mSenders.size(), 3u);
  EXPECT_EQ(mCell->begins, 3);
  EXPECT_EQ(mCell->ends, 3);
  // Without a default, a Ctrl-click is an ordinary click that still sends the action (the
  // editor resets on its own then).
  mCell->clearDefaultValue();
  mSlider->setDoubleValue(90);
  mWindow->display();
  click(*mWindow, knob(), kControlKey);
  EXPECT_EQ(mSlider->doubleValue(), 90);
  EXPECT_EQ(mSenders.size(), 4u);
}

TEST_F(SliderTest, HoverShowsTheValueAndClosingMidDragEndsTheGesture) {
  mWindow->sendEvent(mouse(EventType::MouseMoved, centreOf(*mSlider)));
  EXPECT_EQ(mWindow->hoverText(), "50");
  mWindow->sendEvent(mouse(EventType::MouseDown, knob()));
  EXPECT_EQ(mCell->begins, 1);
  int closes = 0;
  const auto token = notify::Center::defaultCenter().addObserver(
      kWindowWillCloseNotification, mWindow.get(), [&](const notify::Notification&) { ++closes; });
  mWindow->close();
  mWindow->close();
  notify::Center::defaultCenter().removeObserver(token);
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(mCell->ends, 1);
  EXPECT_EQ(mCell->misordered, 0);
}

TEST_F(ControlsTest, ToggleFlipsOnlyWhenTheClickEndsInside) {
  auto* button = add(std::make_unique<Button>(Rect(10, 10, 100, 30), "Freeze", ButtonType::Toggle));
  auto cell = std::make_unique<Counting<ButtonCell>>();
  cell->setButtonType(ButtonType::Toggle);
  auto* counting = cell.get();
  button->setCell(std::move(cell));
  button->setAction(record());
  click(*mWindow, centreOf(*button));
  EXPECT_EQ(button->state(), 1);
  drag(*mWindow, centreOf(*button), {300, 250});  // released outside
  EXPECT_EQ(button->state(), 1);
  click(*mWindow, centreOf(*button));
  EXPECT_EQ(button->state(), 0);
  EXPECT_EQ(mSenders.size(), 2u);
  EXPECT_EQ(counting->begins, 3);
  EXPECT_EQ(counting->ends, 3);
  EXPECT_FALSE(counting->isHighlighted());
  button->setEnabled(false);
  click(*mWindow, centreOf(*button));
  EXPECT_EQ(button->state(), 0);
  EXPECT_EQ(counting->begins, 3);
}

class PopUpTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    mPopUp = add(std::make_unique<PopUpButton>(Rect(20, 240, 150, 24)));
    auto cell = std::make_unique<Counting<PopUpButtonCell>>();
    mCell = cell.get();
    mPopUp->setCell(std::move(cell));
    mPopUp->addItemsWithTitles({"Pulse", "Sawtooth", "Damped Saw", "", "OFF"});
    mPopUp->setAction(record());
  }
  // Opens the list with a click and returns the window point of item i.
  Point openAndFind(int i) {
    click(*mWindow, centreOf(*mPopUp));
    auto* menu = dynamic_cast<MenuView*>(mWindow->overlay());
    EXPECT_NE(menu, nullptr);
    const Rect r = menu ? menu->itemFrame(i) : Rect();
    return {r.midX(), r.midY()};
  }
  PopUpButton* mPopUp = nullptr;
  Counting<PopUpButtonCell>* mCell = nullptr;
};

TEST_F(PopUpTest, ChoosingAnItemSelectsItAndFiresTheActionOnce) {
  const Point item = openAndFind(2);
  EXPECT_TRUE(mCell->isMenuOpen());
  EXPECT_EQ(mCell->begins, 1);
  EXPECT_EQ(mCell->ends, 0);
  click(*mWindow, item);
  EXPECT_EQ(mWindow->overlay(), nullptr);
  EXPECT_EQ(mPopUp->indexOfSelectedItem(), 2);
  EXPECT_EQ(mPopUp->titleOfSelectedItem(), "Damped Saw");
  ASSERT_EQ(mSenders.size(), 1u);
  EXPECT_EQ(mSenders[0], mPopUp);
  EXPECT_EQ(mCell->ends, 1);
  // Press, drag onto an item and release: chosen as well.
  click(*mWindow, centreOf(*mPopUp));
  mWindow->sendEvent(mouse(EventType::MouseDown, {50, 50}));  // outside: dismissed
  EXPECT_EQ(mWindow->overlay(), nullptr);
  EXPECT_EQ(mSenders.size(), 1u);
  EXPECT_EQ(mCell->ends, 2);
  mWindow->sendEvent(mouse(EventType::MouseDown, centreOf(*mPopUp)));
  auto* menu = dynamic_cast<MenuView*>(mWindow->overlay());
  ASSERT_NE(menu, nullptr);
  const Rect first = menu->itemFrame(0);
  mWindow->sendEvent(mouse(EventType::MouseDragged, {first.midX(), first.midY()}));
  mWindow->sendEvent(mouse(EventType::MouseUp, {first.midX(), first.midY()}));
  EXPECT_EQ(mPopUp->indexOfSelectedItem(), 0);
  EXPECT_EQ(mSenders.size(), 2u);
  EXPECT_EQ(mCell->begins, 3);
  EXPECT_EQ(mCell->ends, 3);
  EXPECT_EQ(mCell->misordered, 0);
}

TEST_F(PopUpTest, DisabledItemsCannotBeChosenWhenAutomaticEnablingIsOff) {
  mPopUp->setAutoenablesItems(false);
  mPopUp->itemAtIndex(1)->setEnabled(false);
  click(*mWindow, openAndFind(1));
  EXPECT_EQ(mPopUp->indexOfSelectedItem(), 0);
  EXPECT_TRUE(mSenders.empty());
  mWindow->sendEvent(key(kEscapeKey));
  EXPECT_EQ(mWindow->overlay(), nullptr);
  // With automatic enabling on, the enabled flags do not count; empty titles stay unselectable.
  mPopUp->setAutoenablesItems(true);
  click(*mWindow, openAndFind(1));
  EXPECT_EQ(mPopUp->indexOfSelectedItem(), 1);
  click(*mWindow, openAndFind(3));
  EXPECT_EQ(mPopUp->indexOfSelectedItem(), 1);
  mWindow->sendEvent(key(kEscapeKey));
  EXPECT_EQ(mCell->begins, mCell->ends);
}

TEST_F(PopUpTest, WheelStepsOverItemsThatCannotBeChosen) {
  mPopUp->selectItemAtIndex(2);
  const Point p = centreOf(*mPopUp);
  mWindow->sendEvent(wheel(p, -1));  // down the list, over the empty item
  EXPECT_EQ(mPopUp->indexOfSelectedItem(), 4);
  mWindow->sendEvent(wheel(p, -1));  // at the end
  EXPECT_EQ(mPopUp->indexOfSelectedItem(), 4);
  mWindow->sendEvent(wheel(p, 1));
  EXPECT_EQ(mPopUp->indexOfSelectedItem(), 2);
  EXPECT_EQ(mSenders.size(), 2u);
  EXPECT_EQ(mCell->begins, 2);
  EXPECT_EQ(mCell->ends, 2);
}

TEST_F(ControlsTest, FieldCommitsOnReturnRestoresOnEscapeAndHoldsFocusOnlyWhileEditing) {
  auto* field = add(std::make_unique<TextField>(Rect(200, 20, 80, 22), "50"));
  field->setEditable(true);
  field->setNumeric(true);
  field->setAction(record());
  EXPECT_FALSE(mWindow->hasKeyboardFocus());
  click(*mWindow, centreOf(*field));
  EXPECT_TRUE(field->isEditing());
  EXPECT_TRUE(mWindow->hasKeyboardFocus());
  mWindow->sendEvent(key(kBackspaceKey));
  mWindow->sendEvent(key(kBackspaceKey));
  typeText(*mWindow, "1x5-0");  // a numeric field takes neither the letter nor a late minus
  EXPECT_EQ(field->textCell()->editedText(), "150");
  mWindow->sendEvent(key(kEscapeKey));
  EXPECT_FALSE(field->isEditing());
  EXPECT_EQ(field->stringValue(), "50");
  EXPECT_TRUE(mSenders.empty());
  EXPECT_FALSE(mWindow->hasKeyboardFocus());
  EXPECT_EQ(mWindow->firstResponder(), nullptr);

  click(*mWindow, centreOf(*field));
  mWindow->sendEvent(key(kBackspaceKey));
  mWindow->sendEvent(key(kBackspaceKey));
  typeText(*mWindow, "150");
  mWindow->sendEvent(key(kReturnKey));
  EXPECT_EQ(field->intValue(), 150);
  ASSERT_EQ(mSenders.size(), 1u);
  EXPECT_EQ(mSenders[0], field);
  EXPECT_FALSE(mWindow->hasKeyboardFocus());

  // A click elsewhere commits as Return does and gives the focus back.
  click(*mWindow, centreOf(*field));
  mWindow->sendEvent(key(kBackspaceKey));
  typeText(*mWindow, "2");
  click(*mWindow, {10, 290});
  EXPECT_FALSE(field->isEditing());
  EXPECT_EQ(field->intValue(), 152);
  EXPECT_EQ(mSenders.size(), 2u);
  EXPECT_FALSE(mWindow->hasKeyboardFocus());
  // A static label never edits.
  auto* label = add(TextField::label(Rect(200, 60, 80, 20), "Speech"));
  click(*mWindow, centreOf(*label));
  EXPECT_FALSE(label->isEditing());
  EXPECT_FALSE(mWindow->hasKeyboardFocus());
}

TEST_F(ControlsTest, MatrixCellsTrackOnTheirOwnAndTheMatrixSends) {
  std::vector<Counting<SliderCell>*> cells;
  auto* matrix = add(std::make_unique<Matrix>(Rect(20, 20, 200, 150), 1, 10, [&] {
    auto c = std::make_unique<Counting<SliderCell>>();
    c->setMinValue(-12);
    c->setMaxValue(12);
    cells.push_back(c.get());
    return c;
  }));
  matrix->setAction(record());
  mWindow->display();
  ASSERT_EQ(cells.size(), 10u);
  const Rect f = matrix->cellFrameAtRowColumn(0, 3);
  const Point knob = matrix->convertPointToWindow({f.midX(), f.midY()});
  // Travel 150 - 12 = 138 points for 24 dB.
  drag(*mWindow, knob, {knob.x, knob.y + 69});
  EXPECT_NEAR(cells[3]->doubleValue(), 12, 1e-9);
  for (int i = 0; i < 10; ++i) {
    if (i != 3) {
      EXPECT_EQ(cells[static_cast<size_t>(i)]->doubleValue(), 0) << i;
    }
  }
  EXPECT_EQ(matrix->selectedCell(), cells[3]);
  EXPECT_EQ(matrix->selectedColumn(), 3);
  ASSERT_FALSE(mSenders.empty());
  EXPECT_EQ(mSenders.back(), matrix);
  EXPECT_EQ(cells[3]->begins, 1);
  EXPECT_EQ(cells[3]->ends, 1);
  const Rect g = matrix->cellFrameAtRowColumn(0, 7);
  mWindow->sendEvent(wheel(matrix->convertPointToWindow({g.midX(), g.midY()}), -1));
  EXPECT_NEAR(cells[7]->doubleValue(), -0.24, 1e-9);
}

// A view that never takes clicks (like the analyser over the controls).
class PassThroughView : public View {
 public:
  using View::View;
  View* hitTest(Point) override { return nullptr; }
};

TEST_F(ControlsTest, ClicksPassThroughAViewThatAnswersNone) {
  auto* button = add(std::make_unique<Button>(Rect(50, 50, 100, 40), "Sync", ButtonType::Toggle));
  button->setAction(record());
  add(std::make_unique<PassThroughView>(Rect(0, 0, 400, 300)));
  EXPECT_EQ(mWindow->contentView()->hitTest(centreOf(*button)), button);
  click(*mWindow, centreOf(*button));
  EXPECT_EQ(button->state(), 1);
  // A plain view on top takes the click instead.
  add(std::make_unique<View>(Rect(40, 40, 200, 100)));
  click(*mWindow, centreOf(*button));
  EXPECT_EQ(button->state(), 1);
  EXPECT_EQ(mSenders.size(), 1u);
}

}  // namespace
