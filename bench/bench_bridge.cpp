// SPDX-License-Identifier: GPL-3.0-or-later
// What following a host window costs the bridge, under a private Xvfb server: the check made
// at every tick of the 1 ms timer while nothing moves (it must stay far below a millisecond),
// and the whole follow of one move (the host's move reaching the server, its event read, the
// content area asked for; it waits for the event in steps of 20 us, so that the benchmark does
// not spin against the server it measures).
#include <X11/Xlib.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "bridge/host_window_link.h"
#include "tests/bridge/xvfb_server.h"

namespace {

struct Setup {
  bridge_test::Xvfb xvfb;
  Display* host = nullptr;
  Display* ui = nullptr;  // stands for the UI layer's connection (the link copies its name)
  ::Window window = 0;
  HostWindowLink link;

  Setup() {
    if (xvfb.display().empty()) return;
    host = XOpenDisplay(xvfb.display().c_str());
    ui = XOpenDisplay(xvfb.display().c_str());
    if (!host || !ui) return;
    window = XCreateSimpleWindow(host, DefaultRootWindow(host), 100, 100, 640, 480, 0, 0, 0);
    XMapWindow(host, window);
    XSync(host, False);
    if (!link.open(ui) || !link.watch(window)) window = 0;
  }
  ~Setup() {
    link.unwatch();
    if (ui) XCloseDisplay(ui);
    if (host) XCloseDisplay(host);
  }
  bool ready() const { return window != 0; }
};

Setup& setup() {
  static Setup s;
  return s;
}

void BM_IdleTick(benchmark::State& state) {
  Setup& s = setup();
  if (!s.ready()) return state.SkipWithError("Xvfb cannot start");
  s.link.takeChanges();
  for (auto _ : state) benchmark::DoNotOptimize(s.link.eventsPending());
}
BENCHMARK(BM_IdleTick)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_FollowOneMove(benchmark::State& state) {
  Setup& s = setup();
  if (!s.ready()) return state.SkipWithError("Xvfb cannot start");
  int x = 0;
  for (auto _ : state) {
    x = (x + 7) % 800;
    XMoveWindow(s.host, s.window, x, 100);
    XFlush(s.host);
    while (!s.link.eventsPending()) std::this_thread::sleep_for(std::chrono::microseconds(20));
    const HostWindowLink::Changes changes = s.link.takeChanges();
    if (changes.moved) benchmark::DoNotOptimize(s.link.contentTopLeft());
  }
}
BENCHMARK(BM_FollowOneMove)->Iterations(200)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
