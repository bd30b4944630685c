// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/views/vx_keyboard_view.h"

#include <cstring>

#include "editor/editor_notifications.h"
#include "platform/ui/draw_context.h"
#include "platform/ui/event.h"
#include "platform/ui/shadow.h"
#include "platform/ui/window.h"
#include "services/notification_names.h"

namespace kk = keyboard_keys;
namespace names = tarnwick_notify;

void VXKeyboardView::prepare() { mNumKeys = kk::kDefaultKeys; }

void VXKeyboardView::setKeyList(const uint32_t* words, int size, bool swap) {
  uint32_t copy[kk::kMaxEntries];
  const int count = size < 1024 ? (size < 0 ? 0 : size) : kk::kMaxEntries;
  for (int i = 0; i < count; ++i) copy[i] = swap ? __builtin_bswap32(words[i]) : words[i];
  mList.publish(copy, static_cast<size_t>(count));
  setNeedsDisplay();
}

void VXKeyboardView::setState(const uint8_t* bytes, size_t length) {
  uint32_t words[kk::kMaxEntries];
  const size_t count = std::min<size_t>(length / 4, kk::kMaxEntries);
  if (count) std::memcpy(words, bytes, count * 4);
  setKeyList(words, static_cast<int>(count), false);
}

void VXKeyboardView::restoreState(const std::vector<uint8_t>& bytes) {
  constexpr bool kLittleEndianHost = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
  const auto words = kk::decodeWords(bytes.data(), bytes.size(), kLittleEndianHost);
  setKeyList(words.data(), static_cast<int>(words.size()), false);
}

void VXKeyboardView::refresh() {
  size_t count = 0;
  if (!mList.read(mScratch.data(), count)) return;  // a write in progress: keep the last list
  mValues.resize(count);
  if (count) std::memcpy(mValues.data(), mScratch.data(), count * 4);
}

std::vector<uint8_t> VXKeyboardView::state() {
  refresh();
  return kk::encodeNative(mValues.data(), mValues.size());
}

std::vector<uint8_t> VXKeyboardView::saveState() {
  refresh();
  return kk::encodeBigEndian(mValues.data(), mValues.size());
}

bool VXKeyboardView::isPlayingKey(int k) {
  refresh();
  const float note = static_cast<float>(k + kk::kLowestNote);
  for (float v : mValues) {
    if (v == note) return true;
  }
  return false;
}

void VXKeyboardView::reset() {
  editor_notify::postKeyMessage(names::kAllKeysOffMsg, this, refCon(), 0);
}

void VXKeyboardView::sendShifted(int semitones) {
  refresh();
  // Copied first: the reset makes the component post an empty list, which replaces ours.
  const std::vector<int> notes = kk::shiftedNotes(mValues.data(), mValues.size(), semitones);
  reset();
  for (int note : notes) editor_notify::postKeyMessage(names::kKeyOnMsg, this, refCon(), note);
}

void VXKeyboardView::mouseDown(const ui::Event& event) {
  if (window()) window()->makeFirstResponder(this);  // so that the arrow keys reach it
  const ui::Point p = convertPointFromWindow(event.locationInWindow);
  const ui::Rect b = bounds();
  const int key = kk::hitTest(p.x, p.y, b.width(), b.height(), mNumKeys);
  if (key >= 0) {
    const char* name = isPlayingKey(key) ? names::kKeyOffMsg : names::kKeyOnMsg;
    editor_notify::postKeyMessage(name, this, refCon(), key + kk::kLowestNote);
  }
  setNeedsDisplay();
}

void VXKeyboardView::keyDown(const ui::Event& event) {
  switch (event.key) {
    case ui::kUpArrowKey:
    case ui::kRightArrowKey:
      transposeUp();
      break;
    case ui::kDownArrowKey:
    case ui::kLeftArrowKey:
      transposeDown();
      break;
    default:
      break;
  }
}

void VXKeyboardView::keyUp(const ui::Event& event) {
  if (event.key >= ui::kUpArrowKey && event.key <= ui::kRightArrowKey) setNeedsDisplay();
}

void VXKeyboardView::drawRect(ui::DrawContext& context, const ui::Rect&) {
  refresh();
  const ui::Rect b = bounds();
  const double w = b.width(), h = b.height();
  const double split = kk::drawingSplit(h);
  const double keyWidth = w / mNumKeys;
  auto playing = [this](int k) {
    const float note = static_cast<float>(k + kk::kLowestNote);
    for (float v : mValues) {
      if (v == note) return true;
    }
    return false;
  };
  context.saveGState();
  ui::Shadow glow;
  glow.blurRadius = 2;
  glow.color = ui::Color::rgba(1, 1, 0, 0.5);
  context.setShadow(glow);
  for (int k = 0; k < mNumKeys; ++k) {
    if (!playing(k)) continue;
    const bool white = isWhiteKey(k);
    context.setColor(ui::Color::rgba(1, 1, 0, white ? 1.0 : 0.35));
    context.setCompositeOp(white ? ui::CompositeOp::PlusDarker : ui::CompositeOp::PlusLighter);
    context.fillRect(ui::Rect(k * keyWidth, split, keyWidth, h - split));
  }
  context.setCompositeOp(ui::CompositeOp::PlusDarker);
  context.setColor(ui::Color::rgba(1, 1, 0, 1));
  const int whites = kk::whiteKeyCount(mNumKeys);
  for (int i = 0; i < whites; ++i) {
    if (playing(kk::whiteKey(i))) context.fillRect(ui::Rect(i * w / whites, 0, w / whites, split));
  }
  context.restoreGState();
}
