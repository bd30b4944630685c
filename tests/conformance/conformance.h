// SPDX-License-Identifier: GPL-3.0-or-later
// Shared pieces of the host-conformance suite: the pass selection (quick by default, the whole
// matrix with TARNWICK_CONFORMANCE_FULL=1), figures recorded into the test report, a hosted
// instance with its main and side-chain feeds, and sample classification.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "component/parameter_table.h"
#include "support/engine_fixture.h"
#include "support/tarnwick_host.h"

namespace conformance {

using namespace tarnwick_host;

// True when the environment asks for the full pass. [any thread]
inline bool fullPass() {
  const char* value = std::getenv("TARNWICK_CONFORMANCE_FULL");
  return value && *value && std::strcmp(value, "0") != 0;
}

// True in a build with address or thread sanitizer, whose figures (times) are not the
// plain build's.
constexpr bool underSanitizer() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  return true;
#else
  return false;
#endif
#else
  return false;
#endif
}

// Records one figure of the running test: into the XML report (RecordProperty) and on stdout.
template <class T>
void figure(const std::string& key, const T& value) {
  std::ostringstream text;
  text << value;
  testing::Test::RecordProperty(key, text.str());
  std::printf("[ figure   ] %s = %s\n", key.c_str(), text.str().c_str());
  std::fflush(stdout);
}

inline double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// Output sample statistics; a sample is bad when it is NaN, infinite or subnormal.
struct SampleStats {
  long nan = 0, inf = 0, subnormal = 0;
  double peak = 0;
  void add(const float* samples, size_t count) {
    for (size_t n = 0; n < count; ++n) {
      const float v = samples[n];
      switch (std::fpclassify(v)) {
        case FP_NAN:
          ++nan;
          break;
        case FP_INFINITE:
          ++inf;
          break;
        case FP_SUBNORMAL:
          ++subnormal;
          break;
        default:
          peak = std::max(peak, double(std::fabs(v)));
      }
    }
  }
  long bad() const { return nan + inf + subnormal; }
};

enum class InputKind { Noise, Speech };
inline const char* name(InputKind kind) {
  return kind == InputKind::Noise ? "noise" : "speech";
}

// Speech (main bus) and carrier (side chain) signals of count samples at rate.
inline std::vector<float> speechSignal(InputKind kind, int count, double rate) {
  return kind == InputKind::Noise ? engine_fixture::whiteNoise(count, 0.5f, 11)
                                  : engine_fixture::speechLike(count, float(rate));
}
inline std::vector<float> carrierSignal(InputKind kind, int count, double rate) {
  return kind == InputKind::Noise ? engine_fixture::whiteNoise(count, 0.4f, 23)
                                  : engine_fixture::sawtooth(count, 110.0, float(rate));
}

// A stereo instance with speech on the main bus and the carrier on the side chain, formats set
// at one rate; initialised by init().
struct HostedRig {
  Instance fx;
  InputFeed main, side;
  double rate;

  HostedRig(double inRate, std::vector<float> speech, std::vector<float> carrier) : rate(inRate) {
    main.channels = {speech, std::move(speech)};
    side.channels = {carrier, std::move(carrier)};
    EXPECT_EQ(fx.openStatus(), noErr);
    EXPECT_EQ(fx.setFormat(kAudioUnitScope_Input, 0, rate, 2), noErr);
    EXPECT_EQ(fx.setFormat(kAudioUnitScope_Input, 1, rate, 2), noErr);
    EXPECT_EQ(fx.setFormat(kAudioUnitScope_Output, 0, rate, 2), noErr);
    EXPECT_EQ(main.connect(fx.unit(), 0), noErr);
    EXPECT_EQ(side.connect(fx.unit(), 1), noErr);
  }
  OSStatus init() { return AudioUnitInitialize(fx.unit()); }
  OSStatus setMaxFrames(UInt32 frames) {
    return AudioUnitSetProperty(fx.unit(), kAudioUnitProperty_MaximumFramesPerSlice,
                                kAudioUnitScope_Global, 0, &frames, sizeof frames);
  }
  // Renders count samples in blocks of blockSize, appending the left and right outputs.
  OSStatus renderInto(int count, UInt32 blockSize, std::vector<float>& left,
                      std::vector<float>& right, double& sampleTime) {
    OutputBuffers out(2, blockSize);
    for (int done = 0; done < count; done += int(blockSize)) {
      const OSStatus status = renderBlock(fx.unit(), out, sampleTime);
      if (status != noErr) return status;
      sampleTime += blockSize;
      left.insert(left.end(), out.channel(0), out.channel(0) + blockSize);
      right.insert(right.end(), out.channel(1), out.channel(1) + blockSize);
    }
    return noErr;
  }
};

// Runs body with stdout swallowed: the component logs its channel layout at the first update.
template <class Body>
void quietly(Body body) {
  testing::internal::CaptureStdout();
  body();
  testing::internal::GetCapturedStdout();
}

}  // namespace conformance
