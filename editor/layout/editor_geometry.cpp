// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/layout/editor_geometry.h"

#include <cstring>

namespace editor_geometry {

namespace {

constexpr double kWidth = 1040;
constexpr double kHeight = 682;
constexpr double kMargin = 14;
constexpr double kColumn = 52;       // one slider column: caption, slider, value field
constexpr double kSliderWidth = 30;  // slider frame width inside its column
constexpr double kFieldWidth = 44;
constexpr double kFieldHeight = 18;
constexpr double kCaptionHeight = 14;
constexpr double kSliderLength = 130;

// Rows of sections.
constexpr double kRowA = 62, kRowB = 290, kRowC = 518;
constexpr double kRowHeight = 218, kRowCHeight = 150;

class Builder {
 public:
  explicit Builder(Panel& p) : mPanel(p) {}

  void section(const char* title, double x, double y, double w, double h) {
    mPanel.sections.push_back({title, {x, y, w, h}});
  }
  void caption(const char* text, Rect r, Caption::Style style = Caption::Name) {
    mPanel.captions.push_back({text, r, style});
  }
  // A slider with its caption above and, with a field action, its number field below.
  void sliderColumn(const char* name, double x, double y, int parameter, const char* slider,
                    const char* field, const char* action, double lo, double hi, double value,
                    double length = kSliderLength) {
    caption(name, {x, y, kColumn, kCaptionHeight});
    const Rect s{x + (kColumn - kSliderWidth) / 2, y + kCaptionHeight + 2, kSliderWidth, length};
    mPanel.controls.push_back({Kind::Slider, slider, action, parameter, s, lo, hi, value});
    mPanel.slots.push_back({s, lo, hi});
    if (field) {
      const Rect f{x + (kColumn - kFieldWidth) / 2, s.bottom() + 4, kFieldWidth, kFieldHeight};
      mPanel.controls.push_back({Kind::NumberField, field, action, parameter, f, lo, hi, value});
    }
  }
  void toggle(const char* outlet, const char* action, int parameter, const char* title, Rect r,
              bool hidden = false) {
    Control c{Kind::Toggle, outlet, action, parameter, r};
    c.title = title;
    c.hidden = hidden;
    mPanel.controls.push_back(c);
  }
  void button(const char* outlet, const char* action, const char* title, Rect r,
              bool hidden = false) {
    Control c{Kind::PushButton, outlet, action, -1, r};
    c.title = title;
    c.hidden = hidden;
    mPanel.controls.push_back(c);
  }
  void popUp(const char* name, const char* outlet, const char* action, int parameter, Rect r,
             std::vector<const char*> items) {
    if (name) caption(name, {r.x, r.y - kCaptionHeight - 2, r.w, kCaptionHeight});
    Control c{Kind::PopUp, outlet, action, parameter, r};
    c.items = std::move(items);
    mPanel.controls.push_back(c);
  }
  Panel& panel() { return mPanel; }

 private:
  Panel& mPanel;
};

const std::vector<const char*> kWaveTitles = {
    "Pulse",  "Sawtooth",  "Damped Saw",     "Damped Triangle", "Square", "Damped Square",
    "Circular", "Curvation", "Distorted Saw", "Harsh",         "OFF"};

void header(Builder& b) {
  b.panel().title = {kMargin + 6, 8, 300, 44};
  b.popUp(nullptr, "uiPresetPopup", "loadCurrentSetting", -1, {596, 18, 224, 24},
          {"Factory Presets"});
  b.caption("PRESET", {536, 22, 56, kCaptionHeight}, Caption::Small);
  Control name{Kind::TextField, "uiPresetName", nullptr, -1, {366, 18, 150, 24}};
  name.hidden = true;
  b.panel().controls.push_back(name);
  b.button("uiSavePresetButton", "saveCurrentSetting", "SAVE", {520, 16, 60, 28}, true);
  b.button("uiRandomizeButton", "randomizeParameters", "RANDOM", {838, 16, 96, 28});
  b.button(nullptr, "iaGetInfo", "ABOUT", {940, 16, 86, 28});
}

void rowA(Builder& b) {
  const double y = kRowA, cy = y + 38;
  // Carrier: what the speech is imposed on.
  b.section("CARRIER", kMargin, y, 180, kRowHeight);
  b.toggle("uiSynthButton", "iaParamSynthModeChanged", 23, "SYNTH", {24, cy + 8, 92, 40});
  b.caption("play the synth", {24, cy + 46, 92, 12}, Caption::Small);
  b.toggle("uiFlipButton", "iaParamFlipChanged", 11, "FLIP", {24, cy + 76, 92, 40});
  b.caption("swap the inputs", {24, cy + 114, 92, 12}, Caption::Small);
  b.sliderColumn("DRY MIX", 128, cy, 1, "uiCarrMixSlider", "uiCarrMixTextField",
                 "iaParamCarrMixChanged", 0, 100, 0);
  // Speech: the voice that shapes the carrier.
  b.section("SPEECH", 204, y, 196, kRowHeight);
  b.sliderColumn("DRY MIX", 212, cy, 2, "uiSpeechMixSlider", "uiSpeechMixTextField",
                 "iaParamSpeechMixChanged", 0, 100, 0);
  b.toggle("uiHFPassButton", "iaParamHFPassChanged", 8, "HF PASS", {272, cy + 2, 118, 40});
  b.toggle("uiVcUvButton", "iaParamVcUvChanged", 9, "VOICED/UNV", {272, cy + 48, 118, 40});
  b.toggle("uiFreezeButton", "iaParamFreezeChanged", 10, "FREEZE", {272, cy + 94, 118, 40});
  b.toggle("uiAutoFreezeButton", "iaParamAutoFreezeModeChanged", 43, "AUTO FREEZE",
           {272, cy + 140, 118, 40}, true);
  // Filter bank: how the spectrum is shaped.
  b.section("FILTER BANK", 410, y, 240, kRowHeight);
  b.popUp("MODE", "uiSoundModePopUp", "iaParamSoundModeChanged", 7, {422, cy + 18, 108, 24},
          {"Tilted", "Paired Bins", "Phase Only", "Fine Formant", "Smooth Formant",
           "Coarse Formant", "Bank Clean", "Bank Classic"});
  b.caption("sound of the", {422, cy + 56, 108, 12}, Caption::Small);
  b.caption("spectral shaping", {422, cy + 70, 108, 12}, Caption::Small);
  b.sliderColumn("AMOUNT", 538, cy, 0, "uiFBAmtSlider", "uiFBAmtTextField",
                 "iaParamFBAmtChanged", 0, 100, 50);
  b.sliderColumn("RELEASE", 590, cy, 6, "uiReleaseSlider", "uiReleaseTextField",
                 "iaParamFBReleaseChanged", 0, 99, 0);
  // Room: reverb tail and room ambience.
  b.section("ROOM", 660, y, 1040 - kMargin - 660, kRowHeight);
  const double rx = 660 + (366 - 5 * kColumn - 24) / 2;
  b.sliderColumn("REVERB", rx, cy, 3, "uiRevMixSlider", "uiRevMixTextField",
                 "iaParamRevMixChanged", 0, 100, 0);
  b.sliderColumn("DIFFUSE", rx + kColumn, cy, 4, "uiRevDiffSlider", "uiRevDiffTextField",
                 "iaParamRevDiffChanged", 0, 99, 0);
  b.sliderColumn("DECAY", rx + 2 * kColumn, cy, 5, "uiRevDecaySlider", "uiRevDecayTextField",
                 "iaParamRevDecayChanged", 0, 99, 0);
  b.sliderColumn("AMBIENCE", rx + 3 * kColumn + 24, cy, 46, "uiRoomAmountSlider",
                 "uiRoomAmountTextField", "iaParamRoomAmountChanged", 0, 100, 25);
  b.sliderColumn("SIZE", rx + 4 * kColumn + 24, cy, 47, "uiRoomSizeSlider",
                 "uiRoomSizeTextField", "iaParamRoomSizeChanged", 0, 100, 65);
}

void rowB(Builder& b) {
  const double y = kRowB, cy = y + 38;
  // Synth oscillators.
  b.section("OSCILLATORS", kMargin, y, 446, kRowHeight);
  b.popUp("SOURCE", "uiSamplesWavesPopUp", "iaParamSamplesWavesChanged", 42,
          {24, cy + 18, 112, 24}, {"Waves", "Samples"});
  b.popUp("OSC A", "uiOscAWavePopUp", "iaParamOscAWaveChanged", 26, {24, cy + 66, 112, 24},
          kWaveTitles);
  b.popUp("OSC B", "uiOscBWavePopUp", "iaParamOscBWaveChanged", 29, {24, cy + 114, 112, 24},
          kWaveTitles);
  b.caption("TUNE Hz", {24, cy + 144, 112, kCaptionHeight});
  b.panel().controls.push_back({Kind::NumberField, "uiMasterTuneTextField",
                                "iaParamMasterTuneChanged", 45, {52, cy + 160, 56, 18}, 430,
                                450, 440});
  b.sliderColumn("A SEMI", 144, cy, 24, "uiCoarseASlider", "uiCoarseATextField",
                 "iaParamCoarseAChanged", -24, 24, 0);
  b.sliderColumn("A FINE", 144 + kColumn, cy, 25, "uiFineASlider", "uiFineATextField",
                 "iaParamFineAChanged", -99, 99, 0);
  b.sliderColumn("B SEMI", 254, cy, 27, "uiCoarseBSlider", "uiCoarseBTextField",
                 "iaParamCoarseBChanged", -24, 24, 0);
  b.sliderColumn("B FINE", 254 + kColumn, cy, 28, "uiFineBSlider", "uiFineBTextField",
                 "iaParamFineBChanged", -99, 99, 0);
  b.toggle("uiSyncButton", "iaParamSyncModeChanged", 36, "SYNC", {366, cy + 2, 84, 40});
  b.toggle("uiRingmodButton", "iaParamRingmodModeChanged", 37, "RING", {366, cy + 48, 84, 40});
  b.toggle("uiSuperFatButton", "iaParamSuperFatModeChanged", 44, "FAT", {366, cy + 94, 84, 40});
  // Modulation of the two oscillators' pitch.
  const std::vector<const char*> sources = {"LFO", "Voice Level", "Voice Brightness", "Off"};
  b.section("MODULATION", 470, y, 356, kRowHeight);
  b.popUp("MOD A", "uiLfoAWavePopUp", "iaParamLfoAChanged", 32, {480, cy + 18, 120, 24}, sources);
  b.popUp("MOD B", "uiLfoBWavePopUp", "iaParamLfoBChanged", 35, {480, cy + 114, 120, 24},
          sources);
  b.caption("bends the pitch", {480, cy + 46, 120, 12}, Caption::Small);
  b.caption("of oscillator A", {480, cy + 59, 120, 12}, Caption::Small);
  b.caption("bends the pitch", {480, cy + 142, 120, 12}, Caption::Small);
  b.caption("of oscillator B", {480, cy + 155, 120, 12}, Caption::Small);
  b.sliderColumn("A DEPTH", 608, cy, 30, "uiModADepthSlider", "uiModADepthTextField",
                 "iaParamModADepthChanged", -100, 100, 0);
  b.sliderColumn("A RATE", 608 + kColumn, cy, 31, "uiModASpeedSlider", "uiModASpeedTextField",
                 "iaParamModASpeedChanged", 0, 100, 0);
  b.sliderColumn("B DEPTH", 718, cy, 33, "uiModBDepthSlider", "uiModBDepthTextField",
                 "iaParamModBDepthChanged", -100, 100, 0);
  b.sliderColumn("B RATE", 718 + kColumn, cy, 34, "uiModBSpeedSlider", "uiModBSpeedTextField",
                 "iaParamModBSpeedChanged", 0, 100, 0);
  // The synth's filter.
  b.section("FILTER", 836, y, 1040 - kMargin - 836, kRowHeight);
  const double fx = 836 + (190 - 3 * kColumn) / 2;
  b.sliderColumn("CUTOFF", fx, cy, 38, "uiFilterCutoffSlider", "uiFilterCutoffTextField",
                 "iaParamFilterCutoffChanged", 0, 100, 100);
  b.sliderColumn("RESO", fx + kColumn, cy, 39, "uiFilterResoSlider", "uiFilterResoTextField",
                 "iaParamFilterResoChanged", 0, 100, 0);
  b.sliderColumn("DRIVE", fx + 2 * kColumn, cy, 40, "uiFilterDistSlider",
                 "uiFilterDistTextField", "iaParamFilterDistChanged", 0, 100, 0);
}

void rowC(Builder& b) {
  const double y = kRowC, cy = y + 34;
  b.section("KEYBOARD", kMargin, y, 600, kRowCHeight);
  b.sliderColumn("OCTAVE", 20, cy, 41, "uiOctaveSlider", nullptr, "iaParamOctaveChanged", -2, 2,
                 0, 92);
  b.caption("TRANSPOSE", {74, cy, 64, kCaptionHeight}, Caption::Small);
  b.button(nullptr, "iaKeyboardTransposeUp", "\u25B2", {82, cy + 16, 48, 28});
  b.button(nullptr, "iaKeyboardTransposeDown", "\u25BC", {82, cy + 48, 48, 28});
  b.button(nullptr, "iaKeyboardReset", "ALL OFF", {76, cy + 84, 60, 26});
  Rect keys{148, y + 30, 14 * 32, 112};
  b.panel().keyboard = keys;
  b.panel().controls.push_back({Kind::KeyboardView, "uiTarnwickKeyboardView", nullptr, -1, keys});

  b.section("EQUALISER", 624, y, 1040 - kMargin - 624, kRowCHeight);
  Rect matrix{664, cy + 14, 10 * 26, 86};
  Control eq{Kind::SliderMatrix, "uiEqSliderMatrix", "iaParamEqMatrixChanged", 12, matrix, -12,
             12, 0};
  eq.cells = 10;
  b.panel().analyzer = matrix;
  b.panel().controls.push_back(eq);
  // Over the matrix: the analyser lets every click through to the cells.
  b.panel().controls.push_back({Kind::AnalyzerView, "uiTarnwickAnalyzerView", nullptr, -1, matrix});
  for (int i = 0; i < 10; ++i) {
    b.panel().slots.push_back({{matrix.x + i * 26 + 2, matrix.y, 22, matrix.h}, -12, 12, true});
  }
  static const char* const bands[] = {"32", "64", "125", "250", "500",
                                      "1k", "2k", "4k",  "8k",  "16k"};
  for (int i = 0; i < 10; ++i) {
    b.caption(bands[i], {matrix.x + i * 26, matrix.bottom() + 2, 26, 12}, Caption::Small);
  }
  b.caption("+12", {632, matrix.y - 2, 28, 12}, Caption::Small);
  b.caption("0", {632, matrix.y + matrix.h / 2 - 6, 28, 12}, Caption::Small);
  b.caption("-12", {632, matrix.bottom() - 10, 28, 12}, Caption::Small);
  b.caption("BANDS dB", {matrix.x, cy - 4, matrix.w, kCaptionHeight});
  b.sliderColumn("OUT", 936, cy - 4, 22, "uiEqGainSlider", nullptr, "iaParamEqGainChanged", -12,
                 12, 0, 80);
  b.button("uiEqResetButton", "iaParamEqReset", "FLAT", {940, cy + 96, 44, 24});
  b.caption("dB", {988, cy + 44, 24, 12}, Caption::Small);
}

Panel build() {
  Panel p;
  p.width = kWidth;
  p.height = kHeight;
  Builder b(p);
  header(b);
  rowA(b);
  rowB(b);
  rowC(b);
  return p;
}

}  // namespace

const Panel& panel() {
  static const Panel built = build();
  return built;
}

const Control* findControl(const char* outlet) {
  for (const Control& c : panel().controls) {
    if (c.outlet && std::strcmp(c.outlet, outlet) == 0) return &c;
  }
  return nullptr;
}

}  // namespace editor_geometry
