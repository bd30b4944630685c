// SPDX-License-Identifier: GPL-3.0-or-later
// A batch: several speech files rendered into one folder under their own names, on a number of
// worker threads (one component instance each), with each file's progress on a terminal and a
// table at the end.
#pragma once

#include <string>
#include <vector>

#include "hosts/render/render_task.h"

namespace render {

struct BatchRequest {
  std::vector<std::string> files;
  std::string folder;
  std::string type;  // output type; empty: each input's extension (unknown ones become .wav)
  std::string bits;
  int jobs = 1;
};

// Renders every file; a file that fails is reported on standard error and skipped. Returns the
// exit status: 0 when every file was rendered, kExitFailure otherwise. [main thread]
int runBatch(const Plan& plan, const BatchRequest& request);

}  // namespace render
