// SPDX-License-Identifier: GPL-3.0-or-later
// An output bus: the stream format and buffers the unit renders into.
#pragma once

#include "component/aubase/au_io_element.h"

class AUOutputElement : public AUIOElement {
 public:
  explicit AUOutputElement(AUBase& inAudioUnit);  // [main thread]
  ~AUOutputElement() override;
};
