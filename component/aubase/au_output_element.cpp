// SPDX-License-Identifier: GPL-3.0-or-later
#include "component/aubase/au_output_element.h"

AUOutputElement::AUOutputElement(AUBase& inAudioUnit) : AUIOElement(inAudioUnit) {}

AUOutputElement::~AUOutputElement() = default;
