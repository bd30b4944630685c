// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/alert_presenter.h"

#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>

#include "platform/runloop/run_loop.h"
#include "platform/ui/alert_view.h"
#include "platform/ui/application.h"
#include "platform/ui/window.h"

namespace ui {
namespace {

Window* gCurrent = nullptr;

int answerOnStandardError(const alert::Alert& a) {
  std::fprintf(stderr, "%s\n%s\n[%s]\n", a.title.c_str(), a.text.c_str(), a.defaultButton.c_str());
  std::fflush(stderr);
  return alert::kDefaultButton;
}

int present(const alert::Alert& a, void*) {
  if (!Application::shared().hasDisplay()) return answerOnStandardError(a);
  return runAlertDialog(a);
}

// A dialog window for a; answer is called once with the button chosen (closing the window
// chooses the default). [main thread]
std::unique_ptr<Window> makeDialog(const alert::Alert& a, std::function<void(int)> answer) {
  auto view = std::make_unique<AlertView>(a, std::move(answer));
  const Size size = view->frame().size;
  auto window = std::make_unique<Window>(Rect(0, 0, size.width, size.height),
                                         kTitledWindowMask | kClosableWindowMask);
  window->setTitle(a.title);
  window->setContentView(std::move(view));
  window->center();
  return window;
}

// Destroys the window on the main loop's next turn (never inside its own event).
void disposeLater(std::unique_ptr<Window> window) {
  std::shared_ptr<Window> held(std::move(window));
  runloop::RunLoop::main().schedule(std::chrono::steady_clock::duration::zero(), [held] {
    if (gCurrent == held.get()) gCurrent = nullptr;
  });
}

}  // namespace

void installAlertPresenter() { alert::setPresenter(present, nullptr); }
void uninstallAlertPresenter() { alert::setPresenter(nullptr, nullptr); }
Window* currentAlertWindow() { return gCurrent; }

int runAlertDialog(const alert::Alert& a) {
  Application& app = Application::shared();
  if (!app.hasDisplay() && app.backend() != BackendKind::Offscreen) return answerOnStandardError(a);
  if (app.isMainThread()) {
    int chosen = alert::kDefaultButton;
    bool answered = false;
    std::unique_ptr<Window> dialog = makeDialog(a, [&](int button) {
      if (answered) return;
      chosen = button;
      answered = true;
    });
    Window* previousModal = app.modalWindow();
    Window* previousCurrent = gCurrent;
    gCurrent = dialog.get();
    app.setModalWindow(dialog.get());
    dialog->makeKeyAndOrderFront();
    while (!answered && !dialog->isClosed()) {
      app.runUntil([&] { return answered || dialog->isClosed(); }, std::chrono::milliseconds(100));
    }
    app.setModalWindow(previousModal);
    gCurrent = previousCurrent;
    dialog->close();
    return chosen;
  }
  // Another thread: the dialog lives on the main thread; this thread waits for its answer.
  struct Shared {
    std::mutex mutex;
    std::condition_variable done;
    int chosen = alert::kDefaultButton;
    bool answered = false;
    bool timedOut = false;
    std::unique_ptr<Window> window;
  };
  auto shared = std::make_shared<Shared>();
  Application::performOnMainThread(
      [shared, a] {
        {
          std::lock_guard<std::mutex> lock(shared->mutex);
          if (shared->timedOut) return;
        }
        shared->window = makeDialog(a, [shared](int button) {
          {
            std::lock_guard<std::mutex> lock(shared->mutex);
            if (shared->answered) return;
            shared->chosen = button;
            shared->answered = true;
          }
          shared->done.notify_all();
          if (shared->window) {
            shared->window->close();
            disposeLater(std::move(shared->window));
          }
        });
        gCurrent = shared->window.get();
        shared->window->makeKeyAndOrderFront();
      },
      false);
  std::unique_lock<std::mutex> lock(shared->mutex);
  if (!shared->done.wait_for(lock, kAlertTimeout, [&] { return shared->answered; })) {
    shared->timedOut = true;
    lock.unlock();
    Application::performOnMainThread(
        [shared] {
          if (shared->window) {
            shared->window->close();
            disposeLater(std::move(shared->window));
          }
        },
        false);
    return alert::kDefaultButton;
  }
  return shared->chosen;
}

}  // namespace ui
