// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick: the JACK stand-alone app. Exit status: 0 after a quit, 1 for a usage error, 2 when
// the component, a state file or JACK fails, 3 when no JACK server runs.
#include "hosts/standalone/app.h"
#include "hosts/standalone/app_options.h"
#include "platform/log/log.h"

int main(int argc, char** argv) {
  standalone::AppOptions options;
  int exitCode = standalone::kExitOk;
  if (!standalone::parseAppOptions(argc, argv, &options, &exitCode)) return exitCode;
  // The component's lines go with tarnwick's own, to standard error.
  vxlog::setTarget(vxlog::Target::StandardError);
  standalone::App app(std::move(options));
  const int status = app.run();
  vxlog::flush();
  return status;
}
