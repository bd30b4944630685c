// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's controls against a real instance: every parameter's control moves it and
// follows automation, resets, typed values beyond the range, the wave menus' retitling, the
// randomiser, gestures and their nesting, moving to another unit, the About box.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

#include "component/parameter_table.h"
#include "editor/assertion_handler.h"
#include "editor_fixture.h"
#include "platform/alert/alert.h"
#include "platform/au/au_listener.h"
#include "platform/ui/button.h"
#include "platform/ui/matrix.h"
#include "platform/ui/popup_button.h"
#include "platform/ui/slider.h"
#include "platform/ui/text_field.h"

using namespace editor_test;
using tarnwick_host::Instance;

namespace {

// A host's automation: sets a parameter as a host's automation lane does.
void automate(AudioUnit unit, int id, float value) {
  AudioUnitParameter p{unit, static_cast<AudioUnitParameterID>(id), kAudioUnitScope_Global, 0};
  ASSERT_EQ(AUParameterSet(nullptr, nullptr, &p, value, 0), noErr);
}

// What a control shows, as a float: slider value, toggle state, menu index, field number.
float shown(ui::View* control, int cell = -1) {
  if (auto* m = dynamic_cast<ui::Matrix*>(control)) return m->cells()[cell]->floatValue();
  if (auto* p = dynamic_cast<ui::PopUpButton*>(control)) return p->indexOfSelectedItem();
  if (auto* b = dynamic_cast<ui::Button*>(control)) return b->state();
  if (auto* c = dynamic_cast<ui::Control*>(control)) return c->floatValue();
  return NAN;
}

// Moves a control as a user would and sends its action.
void drive(ui::View* control, float value, int cell = -1) {
  if (auto* m = dynamic_cast<ui::Matrix*>(control)) {
    m->cells()[cell]->setFloatValue(value);
    m->sendAction();
  } else if (auto* p = dynamic_cast<ui::PopUpButton*>(control)) {
    p->selectItemAtIndex(static_cast<int>(value));
    p->sendAction();
  } else if (auto* b = dynamic_cast<ui::Button*>(control)) {
    b->setState(static_cast<int>(value));
    b->sendAction();
  } else if (auto* t = dynamic_cast<ui::TextField*>(control)) {
    t->setStringValue(std::to_string(static_cast<int>(value)));
    t->sendAction();
  } else if (auto* c = dynamic_cast<ui::Control*>(control)) {
    c->setFloatValue(value);
    c->sendAction();
  }
}

}  // namespace

TEST(EditorControls, EveryParameterHasAControlThatMovesItAndFollowsAutomation) {
  Instance fx;
  Editor editor(fx.unit());
  Tarnwick_CocoaView* view = editor.view();
  ASSERT_NE(view, nullptr);
  for (int id = 0; id < kParameterCount; ++id) {
    SCOPED_TRACE("parameter " + std::to_string(id));
    const ParameterDescription& d = parameterDescription(id);
    const bool eqCell = id >= 12 && id <= 21;
    ui::View* control = eqCell ? view->uiEqSliderMatrix : view->viewWithTag(id + 1);
    ASSERT_NE(control, nullptr);
    const int cell = eqCell ? id - 12 : -1;
    const bool isSwitch = d.maxValue - d.minValue == 1 && d.minValue == 0;
    const float moved = isSwitch ? 1 - d.defaultValue
                                 : std::trunc(d.minValue + (d.maxValue - d.minValue) * 0.75f);
    const float automated = isSwitch ? d.defaultValue
                                     : std::trunc(d.minValue + (d.maxValue - d.minValue) * 0.25f);
    drive(control, moved, cell);
    EXPECT_EQ(fx.parameter(id), moved);

    automate(fx.unit(), id, automated);
    EXPECT_TRUE(pumpUntil([&] { return shown(control, cell) == automated; }))
        << "shows " << shown(control, cell) << ", automation " << automated;
    if (auto* field = dynamic_cast<ui::TextField*>(view->viewWithTag(id + 1001))) {
      EXPECT_EQ(field->stringValue(), std::to_string(static_cast<int>(automated)));
    }
  }
}

TEST(EditorControls, ResetClicksAndTypedValuesBeyondTheRange) {
  Instance fx;
  Editor editor(fx.unit());
  Tarnwick_CocoaView* view = editor.view();
  ASSERT_NE(view, nullptr);
  auto& app = ui::Application::shared();

  // Ctrl-click (the command key's counterpart) on Reverb Amt: slider and field show 0, the
  // parameter gets its default 0.1.
  for (uint32_t modifier : {ui::kControlKey, ui::kCommandKey}) {
    view->uiRevMixSlider->setFloatValue(70);
    view->uiRevMixSlider->sendAction();
    ASSERT_EQ(fx.parameter(3), 70);
    app.setOffscreenModifiers(modifier);
    const ui::Point knob = Editor::centreOf("uiRevMixSlider");
    editor.click(knob.x, knob.y, modifier);
    app.setOffscreenModifiers(0);
    EXPECT_EQ(view->uiRevMixSlider->floatValue(), 0);
    EXPECT_EQ(view->uiRevMixTextField->stringValue(), "0");
    EXPECT_FLOAT_EQ(fx.parameter(3), 0.1f);
  }

  // 150 typed into the Filterbank Amt field: slider at 100, parameter 100; -30: both 0.
  editor.enter("uiFBAmtTextField", "150");
  EXPECT_EQ(view->uiFBAmtSlider->floatValue(), 100);
  EXPECT_EQ(fx.parameter(0), 100);
  editor.enter("uiFBAmtTextField", "-30");
  EXPECT_EQ(view->uiFBAmtSlider->floatValue(), 0);
  EXPECT_EQ(fx.parameter(0), 0);

  // The tuning field is sent as typed; Escape sends nothing.
  editor.enter("uiMasterTuneTextField", "150");
  EXPECT_EQ(fx.parameter(45), 150);
  editor.enter("uiMasterTuneTextField", "441", true);
  EXPECT_EQ(fx.parameter(45), 150);
  EXPECT_FALSE(editor.window()->hasKeyboardFocus());
}

TEST(EditorControls, WaveMenusRetitleWithTheSamplesSwitchAndCorrectIndices) {
  Instance fx;
  Editor editor(fx.unit());
  Tarnwick_CocoaView* view = editor.view();
  ASSERT_NE(view, nullptr);
  ui::PopUpButton* wavesA = view->uiOscAWavePopUp;
  drive(wavesA, 9);  // "Harsh"
  drive(view->uiOscBWavePopUp, 4);
  ASSERT_EQ(wavesA->titleOfSelectedItem(), "Harsh");
  ASSERT_EQ(fx.parameter(26), 9);

  drive(view->uiSamplesWavesPopUp, 1);
  EXPECT_EQ(wavesA->indexOfSelectedItem(), 7);
  EXPECT_EQ(wavesA->titleOfSelectedItem(), "OFF");
  EXPECT_EQ(fx.parameter(26), 7);
  EXPECT_EQ(view->uiOscBWavePopUp->titleOfSelectedItem(), "Voxpad");
  EXPECT_EQ(fx.parameter(29), 4);
  EXPECT_EQ(wavesA->itemTitleAtIndex(9), "");
  EXPECT_FALSE(wavesA->popUpCell()->isItemSelectable(9));

  drive(view->uiSamplesWavesPopUp, 0);
  EXPECT_EQ(wavesA->titleOfSelectedItem(), "Curvation");  // index 7 stays
  EXPECT_TRUE(wavesA->popUpCell()->isItemSelectable(10));

  // A listener value beyond the menu selects the first item.
  automate(fx.unit(), 26, 12);
  EXPECT_TRUE(pumpUntil([&] { return wavesA->indexOfSelectedItem() == 0; }));
}

TEST(EditorControls, RandomPatchesStayWithinTheRanges) {
  Instance fx;
  Editor editor(fx.unit());
  Tarnwick_CocoaView* view = editor.view();
  ASSERT_NE(view, nullptr);
  const float untouched[] = {fx.parameter(0), fx.parameter(38), fx.parameter(46)};
  bool sawSamples = false, sawWaves = false;
  for (int round = 0; round < 40; ++round) {
    view->randomizeParameters(view->uiRandomizeButton);
    for (int id = 0; id < kParameterCount; ++id) {
      const ParameterDescription& d = parameterDescription(id);
      EXPECT_GE(fx.parameter(id), d.minValue) << id;
      EXPECT_LE(fx.parameter(id), d.maxValue) << id;
    }
    const bool samples = fx.parameter(42) != 0;
    (samples ? sawSamples : sawWaves) = true;
    const float limit = samples ? 7 : 10;
    EXPECT_LE(fx.parameter(26), limit);
    EXPECT_LE(fx.parameter(29), limit);
    EXPECT_EQ(view->uiFreezeButton->state(), 0);
  }
  EXPECT_TRUE(sawSamples && sawWaves);
  EXPECT_EQ(fx.parameter(0), untouched[0]);
  EXPECT_EQ(fx.parameter(38), untouched[1]);
  EXPECT_EQ(fx.parameter(46), untouched[2]);
}

namespace {

// A host's gesture recorder: begin and end events of one parameter.
struct GestureLog {
  std::vector<AudioUnitEventType> events;
  AUEventListenerRef listener = nullptr;
  static void proc(void* self, void*, const AudioUnitEvent* e, uint64_t, float) {
    static_cast<GestureLog*>(self)->events.push_back(e->mEventType);
  }
  GestureLog(AudioUnit unit, int id) {
    EXPECT_EQ(AUEventListenerCreate(&proc, this, nullptr, 0, &listener), noErr);
    for (AudioUnitEventType type : {kAudioUnitEvent_BeginParameterChangeGesture,
                                    kAudioUnitEvent_EndParameterChangeGesture}) {
      AudioUnitEvent e{};
      e.mEventType = type;
      e.mArgument.mParameter = {unit, static_cast<AudioUnitParameterID>(id),
                                kAudioUnitScope_Global, 0};
      EXPECT_EQ(AUEventListenerAddEventType(listener, nullptr, &e), noErr);
    }
  }
  ~GestureLog() { AUListenerDispose(listener); }
};

}  // namespace

TEST(EditorControls, GesturesNestAndADragMakesExactlyOne) {
  Instance fx;
  Editor editor(fx.unit());
  Tarnwick_CocoaView* view = editor.view();
  ASSERT_NE(view, nullptr);
  GestureLog cutoff(fx.unit(), 38), sync(fx.unit(), 36);
  auto& centre = notify::Center::defaultCenter();

  centre.post("Vexaphon_Tarnwick_BeginGesture", nullptr);
  centre.post("Vexaphon_Tarnwick_BeginGesture", nullptr);
  centre.post("Vexaphon_Tarnwick_EndGesture", nullptr);
  pumpFor(std::chrono::milliseconds(50));
  EXPECT_EQ(cutoff.events, (std::vector<AudioUnitEventType>{1}));  // still open
  EXPECT_EQ(view->gestureDepth(), 1);
  centre.post("Vexaphon_Tarnwick_EndGesture", nullptr);
  EXPECT_TRUE(pumpUntil([&] { return cutoff.events.size() == 2; }));
  EXPECT_EQ(cutoff.events, (std::vector<AudioUnitEventType>{1, 2}));
  EXPECT_TRUE(sync.events.empty());  // not one of the gesture parameters

  // A slider drag: one begin, one end at the mouse-up, and the value moves with the mouse.
  cutoff.events.clear();
  const ui::Point knob = Editor::centreOf("uiFilterResoSlider");
  const auto* reso = editor_geometry::findControl("uiFilterResoSlider");
  editor.drag(knob.x, reso->frame.bottom() - 8, -40);
  EXPECT_TRUE(pumpUntil([&] { return cutoff.events.size() == 2; }));
  EXPECT_EQ(cutoff.events, (std::vector<AudioUnitEventType>{1, 2}));
  EXPECT_GT(fx.parameter(39), 20);
  EXPECT_EQ(view->gestureDepth(), 0);
}

TEST(EditorControls, SetAUTwiceMovesTheListenersAndTheInstanceReference) {
  Instance a, b;
  Editor editor(a.unit());
  Tarnwick_CocoaView* view = editor.view();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->refCon(), a.refCon());
  view->setAU(b.unit());
  EXPECT_EQ(view->refCon(), b.refCon());
  EXPECT_EQ(view->uiTarnwickKeyboardView->refCon(), b.refCon());
  EXPECT_NE(a.refCon(), b.refCon());

  automate(a.unit(), 1, 80);
  automate(b.unit(), 2, 60);
  EXPECT_TRUE(pumpUntil([&] { return view->uiSpeechMixSlider->floatValue() == 60; }));
  pumpFor(std::chrono::milliseconds(150));
  EXPECT_EQ(view->uiCarrMixSlider->floatValue(), 0);  // the first unit no longer moves it
  drive(view->uiFilterDistSlider, 33);
  EXPECT_EQ(b.parameter(40), 33);
  EXPECT_EQ(a.parameter(40), 0);
}

TEST(EditorControls, AboutBoxOpensTheChangeLogAsOneArgumentAndFailuresAreReported) {
  Instance fx;
  Editor editor(fx.unit());
  Tarnwick_CocoaView* view = editor.view();
  ASSERT_NE(view, nullptr);
  // A recording opener in place of xdg-open: writes its arguments, one per line.
  char pattern[] = "/tmp/tarnwick-editor-about-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const std::string record = dir + "/opened.txt", opener = dir + "/record-open.sh";
  std::remove(record.c_str());
  {
    std::ofstream script(opener);
    script << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << record
           << ".tmp'\nmv '" << record << ".tmp' '" << record << "'\n";
  }
  ASSERT_EQ(chmod(opener.c_str(), 0755), 0);
  setenv("TARNWICK_OPEN_COMMAND", opener.c_str(), 1);
  static std::string shownText;
  alert::setPresenter(
      [](const alert::Alert& a, void*) {
        shownText = a.title + "|" + a.text + "|" + a.defaultButton + "|" + a.alternateButton;
        return alert::kAlternateButton;
      },
      nullptr);
  view->iaGetInfo(nullptr);
  alert::setPresenter(nullptr, nullptr);
  EXPECT_NE(shownText.find("About|Product Version:\t3.3.8\nAlgorithm Version:\t2.1.2 [1103250830]"),
            std::string::npos)
      << shownText;
  EXPECT_NE(shownText.find("|Ok|Show ChangeLog"), std::string::npos);
  std::string opened;
  EXPECT_TRUE(pumpUntil([&] {
    std::ifstream in(record);
    std::stringstream all;
    all << in.rdbuf();
    opened = all.str();
    return !opened.empty();
  }));
  EXPECT_EQ(opened, kComponentResources + "/ChangeLog.txt\n");

  // Failed calls are reported and the editor carries on: a view without a unit.
  const uint64_t before = assertion_handler::failureCount();
  view->setAU(nullptr);
  const uint64_t detached = assertion_handler::failureCount();
  EXPECT_GT(detached, before);  // the listener registrations and the synchronisation
  drive(view->uiCarrMixSlider, 40);
  EXPECT_EQ(assertion_handler::failureCount(), detached + 1);
  view->setAU(fx.unit());
  drive(view->uiCarrMixSlider, 40);
  EXPECT_EQ(fx.parameter(1), 40);
}

TEST(EditorFactory, DescribesItselfAndRefusesAMissingOrBrokenLayout) {
  useOffscreen();
  Instance fx;
  Tarnwick_CocoaViewFactory good(kLayoutPath);
  EXPECT_EQ(good.interfaceVersion(), 0u);
  EXPECT_EQ(good.description(), "Tarnwick Cocoa View");
  char pattern[] = "/tmp/tarnwick-editor-layout-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string broken = std::string(pattern) + "/broken.plist";
  {
    std::ofstream out(broken);
    out << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>LayoutVersion</key>"
           "<integer>1</integer><key>Objects</key><array><dict><key>id</key><string>view</string>"
           "<key>class</key><string>NoSuchClass</string></dict></array></dict></plist>";
  }
  for (const std::string& path : {std::string(pattern) + "/missing.plist", broken}) {
    testing::internal::CaptureStdout();
    Tarnwick_CocoaViewFactory factory(path);
    EXPECT_EQ(factory.uiViewForAudioUnit(fx.unit(), ui::Size{0, 0}), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Unable to load nib for view."),
              std::string::npos);
  }
}

TEST(EditorFactory, TheLayoutWiresEveryOutletAndTheAuthoringKeysRevealPresetSaving) {
  Instance fx;
  auto& app = ui::Application::shared();
  for (uint32_t held : {0u, uint32_t(ui::kShiftKey | ui::kControlKey)}) {
    useOffscreen();
    app.setOffscreenModifiers(held);
    Editor editor(fx.unit());
    app.setOffscreenModifiers(0);
    Tarnwick_CocoaView* v = editor.view();
    ASSERT_NE(v, nullptr);
    for (const void* outlet :
         {(const void*)v->uiTarnwickAnalyzerView, (const void*)v->uiTarnwickKeyboardView,
          (const void*)v->uiPresetName, (const void*)v->uiPresetPopup,
          (const void*)v->uiProgressPanel, (const void*)v->uiEqResetButton,
          (const void*)v->uiRandomizeButton, (const void*)v->uiSavePresetButton,
          (const void*)v->uiEqSliderMatrix}) {
      EXPECT_NE(outlet, nullptr);
    }
    for (const auto& b : Tarnwick_CocoaView::sliderBindings()) {
      EXPECT_NE(v->*(b.slider), nullptr) << b.parameter;
      if (b.field) EXPECT_NE(v->*(b.field), nullptr) << b.parameter;
    }
    EXPECT_EQ(v->uiEqSliderMatrix->cells().size(), 10u);
    EXPECT_TRUE(v->uiAutoFreezeButton->isHidden());
    EXPECT_EQ(v->uiSavePresetButton->isHidden(), held == 0);
    EXPECT_EQ(v->uiPresetName->isHidden(), held == 0);
    EXPECT_EQ(v->presetAuthoring(), held != 0);
  }
}

TEST(EditorFactory, OnlyTheFirstEditorOfAFreshInstanceAppliesTheSelectedPreset) {
  Instance fx;
  useOffscreen();
  const std::string hook = "presets: applying a preset";
  testing::internal::CaptureStdout();
  { Editor first(fx.unit()); }
  EXPECT_NE(testing::internal::GetCapturedStdout().find(hook), std::string::npos);
  testing::internal::CaptureStdout();
  { Editor second(fx.unit()); }
  EXPECT_EQ(testing::internal::GetCapturedStdout().find(hook), std::string::npos);
}
