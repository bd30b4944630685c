// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/render/render_task.h"

#include <cstdio>

#include "hosts/render/level.h"
#include "hosts/render/resample.h"

namespace render {
namespace {

std::string displayName(const std::string& path) {
  return path == kStandardStream ? "<stdin>" : path;
}

// Converts audio to rate when it differs, with a note on standard error.
bool convert(Audio* audio, double rate, const char* role, const std::string& path, bool quiet,
             std::string* error) {
  if (audio->channels.empty() || audio->rate == rate) return true;
  if (!quiet) {
    std::fprintf(stderr, "tarnwick-render: converting the %s '%s' from %g Hz to %g Hz (libsoxr)\n",
                 role, displayName(path).c_str(), audio->rate, rate);
  }
  return resampleTo(audio, rate, error);
}

}  // namespace

bool renderFile(const Plan& plan, const std::string& speechPath, const std::string& outputPath,
                int format, const std::function<void(size_t, size_t)>& progress,
                TaskResult* result, std::string* error) {
  RenderJob job = plan.base;
  if (!speechPath.empty() && !readAudio(speechPath, &job.speech, error)) return false;
  if (!plan.rateGiven) {
    job.rate = !job.speech.channels.empty()   ? job.speech.rate
               : !job.carrier.channels.empty() ? job.carrier.rate
                                               : plan.base.rate;
  }
  if (!convert(&job.speech, job.rate, "speech", speechPath, job.quiet, error) ||
      !convert(&job.carrier, job.rate, "carrier", plan.carrierPath, job.quiet, error)) {
    return false;
  }
  job.progress = progress;

  RenderResult rendered;
  if (!runRender(job, &rendered, error)) return false;
  applyLevel(&rendered.channels, plan.normalizeDbfs, plan.gainDb);
  const float peak = peakOf(rendered.channels);
  if (!writeAudio(outputPath, format, job.rate, rendered.channels, error)) return false;
  if (peak > 1.0f && !plan.floatOutput) {
    std::fprintf(stderr,
                 "tarnwick-render: warning: the output clips (peak %.3f, %+.1f dBFS) in '%s'; "
                 "--normalize or --gain lowers it\n",
                 peak, toDecibels(peak), outputPath == kStandardStream ? "<stdout>" : outputPath.c_str());
  }
  result->seconds = rendered.channels.front().size() / job.rate;
  result->peak = peak;
  result->wallSeconds = rendered.wallSeconds;
  return true;
}

}  // namespace render
