// SPDX-License-Identifier: GPL-3.0-or-later
#include "reset/reset_window.h"

namespace reset {
namespace {

constexpr double kWidth = 460;
constexpr double kHeight = 232;
constexpr double kMargin = 24;

const ui::Color kBackground = ui::Color::rgba(0.11, 0.12, 0.14);
const ui::Color kPanel = ui::Color::rgba(0.15, 0.16, 0.19);
const ui::Color kAccent = ui::Color::rgba(0.98, 0.71, 0.22);
const ui::Color kText = ui::Color::white(0.92);
const ui::Color kQuiet = ui::Color::white(0.62);

// The window's content: top-left origin, a heading band and the explanation.
class ResetContentView : public ui::View {
 public:
  using View::View;
  bool isFlipped() const override { return true; }
  bool isOpaque() const override { return true; }
  void drawRect(ui::DrawContext& context, const ui::Rect&) override {
    const ui::Rect b = bounds();
    context.setColor(kBackground);
    context.fillRect(b);
    context.setColor(kPanel);
    context.fillRect(ui::Rect(0, 0, b.size.width, 58));
    context.setColor(kAccent);
    context.fillRect(ui::Rect(0, 58, b.size.width, 2));
    context.setColor(kText);
    context.drawText("Vexaphon Plug-In Reset",
                     ui::Rect(kMargin, 12, b.size.width - 2 * kMargin, 22),
                     ui::Font::boldSystem(15));
    context.setColor(kQuiet);
    context.drawText("Tarnwick, Fernhollow and Blendrift",
                     ui::Rect(kMargin, 34, b.size.width - 2 * kMargin, 16), ui::Font::system(10));
    context.setColor(kText);
    context.drawTextBlock(
        "Removes the plug-ins' settings files and caches, so that they start as freshly "
        "installed. Administrator rights are needed; close your music programs first.",
        ui::Rect(kMargin, 74, b.size.width - 2 * kMargin, 48), ui::Font::system(11));
  }
};

}  // namespace

ResetWindow::ResetWindow(AppController& controller) {
  mWindow = std::make_unique<ui::Window>(ui::Rect(0, 0, kWidth, kHeight),
                                         ui::kTitledWindowMask | ui::kClosableWindowMask);
  mWindow->setTitle("PluginReset");
  mWindow->setMinSize({kWidth, kHeight});
  mWindow->setMaxSize({kWidth, kHeight});
  auto content = std::make_unique<ResetContentView>(ui::Rect(0, 0, kWidth, kHeight));
  mDeinstall = content->addSubview(std::make_unique<ui::Button>(
      ui::Rect(kMargin, 134, kWidth - 2 * kMargin, 22),
      "Also uninstall the plug-ins, presets and support files", ui::ButtonType::Switch));
  mReset = content->addSubview(std::make_unique<ui::Button>(
      ui::Rect(kWidth - kMargin - 170, kHeight - kMargin - 30, 170, 30), "Reset Plug-Ins…"));
  mWindow->setContentView(std::move(content));

  controller.uiDeinstall = [box = mDeinstall] { return box->state(); };
  mReset->setAction([&controller](ui::Control*) { controller.uiDoReset(); });
  controller.awakeFromNib();

  ui::Window* window = mWindow.get();
  const bool quitAfterLast = controller.applicationShouldTerminateAfterLastWindowClosed();
  mCloseObserver = notify::Center::defaultCenter().addObserver(
      ui::kWindowWillCloseNotification, window, [quitAfterLast](const notify::Notification&) {
        if (quitAfterLast) ui::Application::shared().stop();
      });
  mWindow->center();
}

ResetWindow::~ResetWindow() {
  notify::Center::defaultCenter().removeObserver(mCloseObserver);
}

}  // namespace reset
