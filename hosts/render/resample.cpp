// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/render/resample.h"

#include <soxr.h>

#include <cmath>

namespace render {

bool resampleTo(Audio* audio, double rate, std::string* error) {
  if (audio->rate == rate || audio->channels.empty()) return true;
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  for (auto& channel : audio->channels) {
    const size_t frames = static_cast<size_t>(std::llround(channel.size() * rate / audio->rate));
    std::vector<float> converted(frames);
    size_t used = 0, made = 0;
    const soxr_error_t failure =
        soxr_oneshot(audio->rate, rate, 1, channel.data(), channel.size(), &used,
                     converted.data(), converted.size(), &made, &io, &quality, nullptr);
    if (failure) {
      *error = std::string("converting the sample rate failed: ") + failure;
      return false;
    }
    converted.resize(made);
    channel = std::move(converted);
  }
  audio->rate = rate;
  return true;
}

}  // namespace render
