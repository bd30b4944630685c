// SPDX-License-Identifier: GPL-3.0-or-later
// One speech file through the component into one output file: read, convert rates, render,
// set the level, write. The single render and every file of a batch run through it.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "hosts/render/render_session.h"

namespace render {

// What every file of a call shares.
struct Plan {
  RenderJob base;  // everything but the speech; base.carrier as read from its file
  std::string carrierPath;
  bool rateGiven = false;  // base.rate was asked for: every input is converted to it
  std::optional<double> normalizeDbfs;
  double gainDb = 0.0;
  bool floatOutput = false;  // 32-bit float files hold levels above full scale
};

struct TaskResult {
  double seconds = 0.0;      // of output
  float peak = 0.0f;         // after the level
  double wallSeconds = 0.0;  // of rendering
};

// Renders speechPath ("" for none, "-" for standard input) into outputPath ("-" for standard
// output) in format. Notes (rate conversions, clipping) go to standard error unless the plan is
// quiet. False with *error set on any failure; nothing is written then.
// [main thread or a batch worker: each call opens an instance of its own]
bool renderFile(const Plan& plan, const std::string& speechPath, const std::string& outputPath,
                int format, const std::function<void(size_t, size_t)>& progress,
                TaskResult* result, std::string* error);

}  // namespace render
