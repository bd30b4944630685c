// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/alert/alert.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace alert {
namespace {

int presentOnStandardError(const Alert& a, void*) {
  std::fprintf(stderr, "%s\n%s\n[%s]\n", a.title.c_str(), a.text.c_str(), a.defaultButton.c_str());
  std::fflush(stderr);
  return kDefaultButton;
}

std::mutex gPresenterMutex;
Presenter gPresenter = presentOnStandardError;
void* gContext = nullptr;

}  // namespace

void setPresenter(Presenter presenter, void* context) {
  std::lock_guard<std::mutex> lock(gPresenterMutex);
  gPresenter = presenter ? presenter : presentOnStandardError;
  gContext = presenter ? context : nullptr;
}

int showAlert(const std::string& title, const std::string& text, const std::string& defaultButton,
              const std::string& alternateButton, const std::string& otherButton) {
  Presenter presenter;
  void* context;
  {
    std::lock_guard<std::mutex> lock(gPresenterMutex);
    presenter = gPresenter;
    context = gContext;
  }
  return presenter({title, text, defaultButton, alternateButton, otherButton}, context);
}

}  // namespace alert
