// SPDX-License-Identifier: GPL-3.0-or-later
// The messages between Tarnwick.lv2 and its UI, as atom objects on two atom ports: the UI writes
// to kUiInPort (atom:eventTransfer), the plug-in answers on kUiOutPort. Nothing else is shared:
// the UI may run in the host's process or in another one.
//
//   UI -> plug-in                       plug-in -> UI
//   tw:KeyOn      { tw:note  Int }      tw:Keys    { tw:keyList Vector<Float>, 32 entries }
//   tw:KeyOff     { tw:note  Int }      tw:Levels  { tw:levels  Vector<Float>, 10 entries }
//   tw:AllKeysOff { }                   tw:PendingDefault { tw:pending Bool }
//   tw:Hello      { }                   tw:Parameters { tw:values Vector<Float>, 48 entries }
//     (the UI attached: the plug-in answers with Keys, Parameters, then PendingDefault)
//   tw:ClearPendingDefault { }
//
// The forge functions write into a caller's forge and allocate nothing; parse() only reads.
// [any thread]
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstring>

namespace tarnwick_lv2 {

#define TARNWICK_UI_NS "urn:vexaphon:tarnwick#"
inline constexpr const char* kUiUri = TARNWICK_UI_NS "ui";                  // ui:X11UI
inline constexpr const char* kExternalUiUri = TARNWICK_UI_NS "ui_external";  // kx:Widget
inline constexpr const char* kUiBinaryName = "tarnwick_lv2_ui.so";

// The external-window UI of hosts that do not embed (its header is not part of lv2-dev).
inline constexpr const char* kExternalUiWidgetUri = "http://kxstudio.sf.net/ns/lv2ext/external-ui#Widget";
inline constexpr const char* kExternalUiHostUri = "http://kxstudio.sf.net/ns/lv2ext/external-ui#Host";
inline constexpr const char* kExternalUiOldHostUri = "http://lv2plug.in/ns/extensions/ui#external";

inline constexpr int kKeyListSlots = 32;
inline constexpr int kLevelBands = 10;

struct UiUrids {
  LV2_URID atomObject = 0, atomInt = 0, atomFloat = 0, atomBool = 0, atomVector = 0;
  LV2_URID atomSequence = 0, atomEventTransfer = 0;
  LV2_URID keyOn = 0, keyOff = 0, allKeysOff = 0, hello = 0, clearPendingDefault = 0;
  LV2_URID keys = 0, levels = 0, parameters = 0, pendingDefault = 0;
  LV2_URID note = 0, keyList = 0, levelList = 0, valueList = 0, pending = 0;

  // The property holding the floats of a Keys, Levels or Parameters object.
  LV2_URID listKeyOf(LV2_URID kind) const {
    return kind == keys ? keyList : kind == levels ? levelList : valueList;
  }

  void map(LV2_URID_Map* m) {
    auto id = [m](const char* uri) { return m->map(m->handle, uri); };
    atomObject = id(LV2_ATOM__Object);
    atomInt = id(LV2_ATOM__Int);
    atomFloat = id(LV2_ATOM__Float);
    atomBool = id(LV2_ATOM__Bool);
    atomVector = id(LV2_ATOM__Vector);
    atomSequence = id(LV2_ATOM__Sequence);
    atomEventTransfer = id(LV2_ATOM__eventTransfer);
    keyOn = id(TARNWICK_UI_NS "KeyOn");
    keyOff = id(TARNWICK_UI_NS "KeyOff");
    allKeysOff = id(TARNWICK_UI_NS "AllKeysOff");
    hello = id(TARNWICK_UI_NS "Hello");
    clearPendingDefault = id(TARNWICK_UI_NS "ClearPendingDefault");
    keys = id(TARNWICK_UI_NS "Keys");
    levels = id(TARNWICK_UI_NS "Levels");
    parameters = id(TARNWICK_UI_NS "Parameters");
    valueList = id(TARNWICK_UI_NS "values");
    pendingDefault = id(TARNWICK_UI_NS "PendingDefault");
    note = id(TARNWICK_UI_NS "note");
    keyList = id(TARNWICK_UI_NS "keyList");
    levelList = id(TARNWICK_UI_NS "levels");
    pending = id(TARNWICK_UI_NS "pending");
  }
};

// One decoded message. kind is 0 for anything malformed or unknown.
struct UiMessage {
  LV2_URID kind = 0;
  int note = 0;                   // KeyOn, KeyOff: 0 ... 127
  const float* values = nullptr;  // Keys, Levels, Parameters: inside the atom read
  uint32_t count = 0;
  bool pending = false;           // PendingDefault
};

// Decodes atom (of at most the given size in bytes, header included).
inline UiMessage parseUiMessage(const LV2_Atom* atom, uint32_t size, const UiUrids& u) {
  UiMessage message;
  if (!atom || size < sizeof(LV2_Atom_Object) || atom->type != u.atomObject ||
      atom->size > size - sizeof(LV2_Atom) || atom->size < sizeof(LV2_Atom_Object_Body)) {
    return message;
  }
  const auto* object = reinterpret_cast<const LV2_Atom_Object*>(atom);
  const LV2_URID otype = object->body.otype;
  if (otype == u.allKeysOff || otype == u.hello || otype == u.clearPendingDefault) {
    message.kind = otype;
  } else if (otype == u.keyOn || otype == u.keyOff) {
    const LV2_Atom* note = nullptr;
    lv2_atom_object_get(object, u.note, &note, 0);
    if (!note || note->type != u.atomInt || note->size != sizeof(int32_t)) return message;
    const int32_t value = reinterpret_cast<const LV2_Atom_Int*>(note)->body;
    if (value < 0 || value > 127) return message;
    message.kind = otype;
    message.note = value;
  } else if (otype == u.keys || otype == u.levels || otype == u.parameters) {
    const LV2_Atom* list = nullptr;
    lv2_atom_object_get(object, u.listKeyOf(otype), &list, 0);
    if (!list || list->type != u.atomVector || list->size < sizeof(LV2_Atom_Vector_Body)) {
      return message;
    }
    const auto* vector = reinterpret_cast<const LV2_Atom_Vector*>(list);
    if (vector->body.child_type != u.atomFloat || vector->body.child_size != sizeof(float)) {
      return message;
    }
    message.kind = otype;
    message.values = reinterpret_cast<const float*>(&vector->body + 1);
    message.count = (list->size - sizeof(LV2_Atom_Vector_Body)) / sizeof(float);
  } else if (otype == u.pendingDefault) {
    const LV2_Atom* flag = nullptr;
    lv2_atom_object_get(object, u.pending, &flag, 0);
    if (!flag || flag->type != u.atomBool || flag->size != sizeof(int32_t)) return message;
    message.kind = otype;
    message.pending = reinterpret_cast<const LV2_Atom_Bool*>(flag)->body != 0;
  }
  return message;
}

// Each writes one object; false when the forge ran out of room (the forge is then spent).
inline bool forgeUiCommand(LV2_Atom_Forge* forge, const UiUrids& u, LV2_URID kind, int note = -1) {
  LV2_Atom_Forge_Frame frame;
  if (!lv2_atom_forge_object(forge, &frame, 0, kind)) return false;
  if (note >= 0 && (!lv2_atom_forge_key(forge, u.note) || !lv2_atom_forge_int(forge, note))) {
    return false;
  }
  lv2_atom_forge_pop(forge, &frame);
  return true;
}

inline bool forgeUiFloats(LV2_Atom_Forge* forge, const UiUrids& u, LV2_URID kind,
                          const float* values, uint32_t count) {
  LV2_Atom_Forge_Frame frame;
  if (!lv2_atom_forge_object(forge, &frame, 0, kind)) return false;
  if (!lv2_atom_forge_key(forge, u.listKeyOf(kind))) return false;
  if (!lv2_atom_forge_vector(forge, sizeof(float), u.atomFloat, count, values)) return false;
  lv2_atom_forge_pop(forge, &frame);
  return true;
}

inline bool forgeUiPending(LV2_Atom_Forge* forge, const UiUrids& u, bool pending) {
  LV2_Atom_Forge_Frame frame;
  if (!lv2_atom_forge_object(forge, &frame, 0, u.pendingDefault)) return false;
  if (!lv2_atom_forge_key(forge, u.pending) || !lv2_atom_forge_bool(forge, pending)) return false;
  lv2_atom_forge_pop(forge, &frame);
  return true;
}

}  // namespace tarnwick_lv2
