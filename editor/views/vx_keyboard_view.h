// SPDX-License-Identifier: GPL-3.0-or-later
// The two-octave on-screen keyboard. It does not own the held keys: a click sends a key-on or
// key-off message for its instance, and the view shows the key list the component broadcasts
// back (setState). Arrow keys and the transpose buttons move the held chord; reset releases it.
// The keys themselves are part of the panel picture; this view only lights held keys.
//
// Threads: setState runs where the component changed its list (the render thread for MIDI,
// the main thread for clicks). It never waits or allocates: the list goes through a latest-wins
// buffer and the view is marked for redisplay (one atomic store). Everything else is
// [main thread].
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "editor/logic/keyboard_keys.h"
#include "editor/logic/latest_values.h"
#include "platform/ui/view.h"

class VXKeyboardView : public ui::View {
 public:
  VXKeyboardView() { prepare(); }
  void awakeFromNib() override { prepare(); }

  void setNumKeys(int keys) { mNumKeys = keys; }
  int numKeys() const { return mNumKeys; }
  void setRefCon(uint64_t refCon) { mRefCon.store(refCon); }
  uint64_t refCon() const { return mRefCon.load(); }

  bool isWhiteKey(int k) const { return keyboard_keys::isWhiteKey(k, mNumKeys); }
  bool isPlayingKey(int k);

  // Replaces the key list with size 32-bit words (float bit patterns; at most 1023 kept),
  // byte-swapping each when swap is set. [any thread]
  void setKeyList(const uint32_t* words, int size, bool swap);
  // The live list: native-order words, length / 4 entries. [any thread]
  void setState(const uint8_t* bytes, size_t length);
  // A saved list: big-endian words. [main thread]
  void restoreState(const std::vector<uint8_t>& bytes);
  // The list in native order, and in the saved (big-endian) format. [main thread]
  std::vector<uint8_t> state();
  std::vector<uint8_t> saveState();

  void reset();
  void transposeUp() { sendShifted(+1); }
  void transposeDown() { sendShifted(-1); }
  // Makes the component hold exactly the keys of this view's list.
  void sendUpdateFromInternalState() { sendShifted(0); }

  bool acceptsFirstResponder() const override { return true; }
  void mouseDown(const ui::Event& event) override;
  void mouseDragged(const ui::Event&) override {}
  void mouseUp(const ui::Event&) override {}
  void keyDown(const ui::Event& event) override;
  void keyUp(const ui::Event& event) override;
  void drawRect(ui::DrawContext& context, const ui::Rect& dirtyRect) override;

 private:
  void prepare();
  // Takes the newest complete list into mValues. [main thread]
  void refresh();
  void sendShifted(int semitones);

  LatestValues<keyboard_keys::kMaxEntries> mList;
  std::atomic<uint64_t> mRefCon{0};
  int mNumKeys = keyboard_keys::kDefaultKeys;
  std::vector<float> mValues;  // the list drawn and hit-tested [main thread]
  std::vector<uint32_t> mScratch = std::vector<uint32_t>(keyboard_keys::kMaxEntries);
};
