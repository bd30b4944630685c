// SPDX-License-Identifier: GPL-3.0-or-later
// The layout loader: a full layout wires outlets, actions and the view tree and wakes every
// object in order; malformed, hostile or mis-wired layouts are refused with a message naming
// the object and the field, leaving the owner untouched.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "platform/plist/plist_value.h"
#include "platform/ui/vxui.h"
#include "ui_test_support.h"

using namespace ui;
using plist::Value;

namespace {

std::vector<std::string> gAwoken;

class Owner : public Object {
 public:
  Owner() {
    bindOutlet("uiView", uiView);
    bindOutlet("uiSlider", uiSlider);
    bindOutlet("uiPopUp", uiPopUp);
    bindOutlet("uiField", uiField);
    bindOutlet("uiPanel", uiPanel);
    bindAction("iaChanged", &Owner::iaChanged);
  }
  void iaChanged(Control* sender) { senders.push_back(sender); }
  void awakeFromNib() override { gAwoken.push_back("owner"); }

  View* uiView = nullptr;
  Slider* uiSlider = nullptr;
  PopUpButton* uiPopUp = nullptr;
  TextField* uiField = nullptr;
  Panel* uiPanel = nullptr;
  std::vector<Control*> senders;
};

class TestView : public View {
 public:
  TestView() { bindOutlet("uiInner", uiInner); }
  void awakeFromNib() override { gAwoken.push_back("view"); }
  Button* uiInner = nullptr;
};

class TestSliderCell : public ui_test::Counting<SliderCell> {
 public:
  void awakeFromNib() override { gAwoken.push_back("cell"); }
};

Value str(const std::string& s) { return Value::string(s); }
Value num(double d) { return Value::real(d); }
Value arr(std::vector<Value> items) { return Value::array(std::move(items)); }
Value frame(double x, double y, double w, double h) { return arr({num(x), num(y), num(w), num(h)}); }

Value object(std::initializer_list<std::pair<const char*, Value>> fields) {
  Value o = Value::dictionary();
  for (const auto& [k, v] : fields) o.set(k, v);
  return o;
}

// A layout with one of everything.
Value goodLayout() {
  std::vector<Value> objects;
  objects.push_back(object({{"id", str("view")}, {"class", str("TestView")},
                            {"frame", frame(0, 0, 300, 200)}, {"outlet", str("uiView")},
                            {"autoresizingMask", Value::integer(18)}}));
  objects.push_back(object({{"id", str("slider")}, {"class", str("Slider")}, {"parent", str("view")},
                            {"frame", frame(10, 10, 30, 150)}, {"cellClass", str("TestSliderCell")},
                            {"minValue", num(0)}, {"maxValue", num(100)}, {"value", num(40)},
                            {"defaultValue", num(50)}, {"outlet", str("uiSlider")},
                            {"action", str("iaChanged:")}}));
  objects.push_back(object({{"id", str("popup")}, {"class", str("PopUpButton")}, {"parent", str("view")},
                            {"frame", frame(60, 10, 120, 24)},
                            {"items", arr({str("Pulse"), str(""), str("OFF")})},
                            {"selectedIndex", Value::integer(2)},
                            {"autoenablesItems", Value::boolean(false)},
                            {"outlet", str("uiPopUp")}, {"action", str("iaChanged")}}));
  objects.push_back(object({{"id", str("field")}, {"class", str("TextField")}, {"parent", str("view")},
                            {"frame", frame(60, 50, 60, 22)}, {"editable", Value::boolean(true)},
                            {"numeric", Value::boolean(true)}, {"stringValue", str("12")},
                            {"alignment", str("right")},
                            {"font", object({{"family", str("DejaVu Sans")}, {"size", num(10)}})},
                            {"outlet", str("uiField")}}));
  objects.push_back(object({{"id", str("sync")}, {"class", str("Button")}, {"parent", str("view")},
                            {"frame", frame(60, 90, 80, 24)}, {"buttonType", str("toggle")},
                            {"title", str("Sync")}, {"state", Value::integer(1)},
                            {"outlet", str("uiInner")}, {"outletOf", str("view")},
                            {"action", str("iaChanged")}, {"target", str("FilesOwner")}}));
  objects.push_back(object({{"id", str("eq")}, {"class", str("Matrix")}, {"parent", str("view")},
                            {"frame", frame(150, 90, 140, 100)}, {"rows", Value::integer(1)},
                            {"columns", Value::integer(10)}, {"cellClass", str("SliderCell")},
                            {"minValue", num(-12)}, {"maxValue", num(12)}}));
  objects.push_back(object({{"id", str("panel")}, {"class", str("Panel")},
                            {"frame", frame(0, 0, 200, 60)}, {"title", str("Loading")},
                            {"outlet", str("uiPanel")}}));
  objects.push_back(object({{"id", str("panelText")}, {"class", str("TextField")},
                            {"parent", str("panel")}, {"frame", frame(10, 10, 180, 20)},
                            {"stringValue", str("Please wait")}}));
  Value root = Value::dictionary();
  root.set("LayoutVersion", Value::integer(1));
  root.set("Objects", arr(std::move(objects)));
  return root;
}

std::optional<Layout> load(const Value& root, Object* owner, std::string* error) {
  const plist::Data bytes = plist::serialise(root);
  return loadLayoutData(bytes.data(), bytes.size(), owner, error);
}

class LayoutLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application::shared().useOffscreen();
    ClassRegistry::shared().add<TestView>("TestView");
    ClassRegistry::shared().add<TestSliderCell>("TestSliderCell");
    gAwoken.clear();
  }
};

TEST_F(LayoutLoaderTest, AGoodLayoutIsBuiltWiredAndWoken) {
  Owner owner;
  std::string error;
  auto layout = load(goodLayout(), &owner, &error);
  ASSERT_TRUE(layout) << error;
  ASSERT_NE(owner.uiView, nullptr);
  ASSERT_NE(owner.uiSlider, nullptr);
  ASSERT_NE(owner.uiPopUp, nullptr);
  ASSERT_NE(owner.uiField, nullptr);
  ASSERT_NE(owner.uiPanel, nullptr);
  auto* view = dynamic_cast<TestView*>(owner.uiView);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->subviews().size(), 5u);
  EXPECT_EQ(view->autoresizingMask(), 18u);
  EXPECT_EQ(owner.uiSlider->superview(), view);
  EXPECT_EQ(owner.uiSlider->frame(), Rect(10, 10, 30, 150));
  EXPECT_EQ(owner.uiSlider->maxValue(), 100);
  EXPECT_EQ(owner.uiSlider->intValue(), 40);
  EXPECT_NE(dynamic_cast<TestSliderCell*>(owner.uiSlider->cell()), nullptr);
  EXPECT_EQ(owner.uiPopUp->numberOfItems(), 3);
  EXPECT_EQ(owner.uiPopUp->indexOfSelectedItem(), 2);
  EXPECT_FALSE(owner.uiPopUp->itemAtIndex(1)->isEnabled());
  EXPECT_FALSE(owner.uiPopUp->autoenablesItems());
  EXPECT_EQ(owner.uiField->intValue(), 12);
  EXPECT_TRUE(owner.uiField->isEditable());
  ASSERT_NE(view->uiInner, nullptr);
  EXPECT_EQ(view->uiInner->state(), 1);
  EXPECT_EQ(view->uiInner->title(), "Sync");
  auto* eq = layout->get<Matrix>("eq");
  ASSERT_NE(eq, nullptr);
  EXPECT_EQ(eq->cells().size(), 10u);
  EXPECT_EQ(dynamic_cast<SliderCell*>(eq->cells()[9].get())->minValue(), -12);
  EXPECT_EQ(owner.uiPanel->title(), "Loading");
  ASSERT_NE(owner.uiPanel->contentView(), nullptr);
  EXPECT_EQ(owner.uiPanel->contentView()->subviews().size(), 1u);
  // Actions reach the owner with the sender.
  view->uiInner->sendAction();
  owner.uiSlider->sendAction();
  ASSERT_EQ(owner.senders.size(), 2u);
  EXPECT_EQ(owner.senders[0], view->uiInner);
  EXPECT_EQ(owner.senders[1], owner.uiSlider);
  // Every made object woke, in file order, cells after their control (not the owner).
  EXPECT_EQ(gAwoken, (std::vector<std::string>{"view", "cell"}));
  EXPECT_EQ(layout->topLevelIds(), (std::vector<std::string>{"view", "panel"}));
  // The top-level view can be taken and shown in a window; the layout then forgets it.
  std::unique_ptr<View> taken = layout->take<View>("view");
  ASSERT_EQ(taken.get(), view);
  EXPECT_EQ(layout->take<View>("slider"), nullptr);  // not top-level
  Window window(Rect(0, 0, 300, 200), kTitledWindowMask);
  window.setContentView(std::move(taken));
  window.display();
}

struct Refusal {
  const char* name;
  std::function<void(Value&)> change;
  std::vector<std::string> expected;  // parts of the message
};

Value& objectAt(Value& root, size_t i) { return root.asDictionary()["Objects"].asArray()[i]; }

TEST_F(LayoutLoaderTest, BadLayoutsAreRefusedWithTheObjectAndTheField) {
  const std::vector<Refusal> table = {
      {"top level", [](Value& r) { r = arr({}); }, {"top level must be a dictionary"}},
      {"version", [](Value& r) { r.set("LayoutVersion", Value::integer(2)); }, {"LayoutVersion"}},
      {"top key", [](Value& r) { r.set("Connections", arr({})); }, {"\"Connections\""}},
      {"objects type", [](Value& r) { r.set("Objects", str("x")); }, {"\"Objects\" must be an array"}},
      {"no id", [](Value& r) { objectAt(r, 0).asDictionary().erase("id"); }, {"object #0", "field \"id\"", "missing"}},
      {"twice", [](Value& r) { objectAt(r, 2).set("id", str("slider")); }, {"object \"slider\"", "field \"id\"", "twice"}},
      {"class", [](Value& r) { objectAt(r, 1).set("class", str("Nope")); }, {"object \"slider\"", "field \"class\"", "\"Nope\""}},
      {"unknown key", [](Value& r) { objectAt(r, 1).set("colour", str("red")); }, {"object #1", "field \"colour\""}},
      {"frame size", [](Value& r) { objectAt(r, 1).set("frame", arr({num(1), num(2), num(3)})); }, {"object \"slider\" (Slider)", "field \"frame\"", "4 numbers"}},
      {"frame negative", [](Value& r) { objectAt(r, 1).set("frame", frame(0, 0, -5, 10)); }, {"field \"frame\"", "negative"}},
      {"frame huge", [](Value& r) { objectAt(r, 1).set("frame", frame(0, 0, 1e8, 10)); }, {"field \"frame\""}},
      {"frame text", [](Value& r) { objectAt(r, 1).set("frame", arr({str("a"), num(0), num(1), num(1)})); }, {"field \"frame\"", "number"}},
      {"parent later", [](Value& r) { objectAt(r, 1).set("parent", str("popup")); }, {"object \"slider\"", "field \"parent\"", "\"popup\""}},
      {"parent missing", [](Value& r) { objectAt(r, 1).set("parent", str("nowhere")); }, {"field \"parent\""}},
      {"cell misfit", [](Value& r) { objectAt(r, 1).set("cellClass", str("ButtonCell")); }, {"object \"slider\"", "field \"cellClass\"", "does not fit"}},
      {"cell not cell", [](Value& r) { objectAt(r, 1).set("cellClass", str("View")); }, {"field \"cellClass\"", "not a cell class"}},
      {"outlet unknown", [](Value& r) { objectAt(r, 1).set("outlet", str("uiMissing")); }, {"object \"slider\"", "field \"outlet\"", "no outlet \"uiMissing\""}},
      {"outlet type", [](Value& r) { objectAt(r, 1).set("outlet", str("uiField")); }, {"object \"slider\"", "field \"outlet\"", "cannot hold a Slider"}},
      {"outlet holder", [](Value& r) { objectAt(r, 1).set("outletOf", str("ghost")); }, {"field \"outletOf\""}},
      {"action unknown", [](Value& r) { objectAt(r, 1).set("action", str("iaGone:")); }, {"object \"slider\"", "field \"action\"", "\"iaGone:\""}},
      {"action on view", [](Value& r) { objectAt(r, 0).set("action", str("iaChanged")); }, {"object \"view\"", "field \"action\"", "only controls"}},
      {"target", [](Value& r) { objectAt(r, 1).set("target", str("ghost")); }, {"field \"target\""}},
      {"min on button", [](Value& r) { objectAt(r, 4).set("minValue", num(1)); }, {"object \"sync\"", "field \"minValue\"", "does not apply"}},
      {"items", [](Value& r) { objectAt(r, 2).set("items", arr(std::vector<Value>(600, str("x")))); }, {"object \"popup\"", "field \"items\""}},
      {"item type", [](Value& r) { objectAt(r, 2).set("items", arr({num(1)})); }, {"field \"items\"", "strings"}},
      {"selection", [](Value& r) { objectAt(r, 2).set("selectedIndex", Value::integer(7)); }, {"field \"selectedIndex\""}},
      {"rows", [](Value& r) { objectAt(r, 5).set("rows", Value::integer(2000)); }, {"object \"eq\"", "field \"rows\""}},
      {"cells", [](Value& r) { objectAt(r, 5).set("rows", Value::integer(200)); }, {"field \"rows\"", "too many"}},
      {"state", [](Value& r) { objectAt(r, 4).set("state", Value::integer(5)); }, {"field \"state\""}},
      {"font", [](Value& r) { objectAt(r, 3).set("font", object({{"size", num(1000)}})); }, {"object \"field\"", "field \"font\"", "size"}},
      {"color", [](Value& r) { objectAt(r, 3).set("textColor", arr({num(2), num(0), num(0), num(1)})); }, {"field \"textColor\""}},
      {"nan", [](Value& r) { objectAt(r, 1).set("value", num(std::nan(""))); }, {"field \"value\"", "finite"}},
      {"long title", [](Value& r) { objectAt(r, 4).set("title", str(std::string(5000, 'x'))); }, {"field \"title\"", "too long"}},
      {"button type", [](Value& r) { objectAt(r, 4).set("buttonType", str("radio")); }, {"field \"buttonType\""}},
      {"entry type", [](Value& r) { r.asDictionary()["Objects"].asArray().push_back(num(3)); }, {"object #8", "dictionary"}},
  };
  for (const Refusal& row : table) {
    Value root = goodLayout();
    row.change(root);
    Owner owner;
    gAwoken.clear();
    std::string error;
    auto layout = load(root, &owner, &error);
    EXPECT_FALSE(layout) << row.name;
    for (const std::string& part : row.expected) {
      EXPECT_NE(error.find(part), std::string::npos) << row.name << ": " << error;
    }
    EXPECT_EQ(owner.uiView, nullptr) << row.name;
    EXPECT_EQ(owner.uiSlider, nullptr) << row.name;
    EXPECT_TRUE(gAwoken.empty()) << row.name;
  }
}

TEST_F(LayoutLoaderTest, FilesAndOwnersThatAreNotThere) {
  std::string error;
  EXPECT_FALSE(loadLayoutFile("/nonexistent/layout.plist", nullptr, &error));
  EXPECT_NE(error.find("no such file"), std::string::npos) << error;
  const std::string junk = "<?xml this is not a plist";
  EXPECT_FALSE(loadLayoutData(reinterpret_cast<const uint8_t*>(junk.data()), junk.size(), nullptr,
                              &error));
  EXPECT_NE(error.find("not a property list"), std::string::npos) << error;
  EXPECT_FALSE(load(goodLayout(), nullptr, &error));  // outlets of an owner that is not given
  EXPECT_NE(error.find("field \"outletOf\": no object \"FilesOwner\""), std::string::npos) << error;
}

}  // namespace
