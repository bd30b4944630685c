// SPDX-License-Identifier: GPL-3.0-or-later
#include "reset/askpass_window.h"

namespace reset {
namespace {

constexpr double kWidth = 380;
constexpr double kHeight = 156;

class PromptView : public ui::View {
 public:
  PromptView(const ui::Rect& frame, std::string prompt) : View(frame), mPrompt(std::move(prompt)) {}
  bool isFlipped() const override { return true; }
  bool isOpaque() const override { return true; }
  void drawRect(ui::DrawContext& context, const ui::Rect&) override {
    const double width = bounds().size.width;
    context.setColor(ui::Color::rgba(0.11, 0.12, 0.14));
    context.fillRect(bounds());
    context.setColor(ui::Color::white(0.92));
    context.drawText("Administrator rights", ui::Rect(20, 14, width - 40, 20),
                     ui::Font::boldSystem(13));
    context.setColor(ui::Color::white(0.7));
    context.drawTextBlock(mPrompt, ui::Rect(20, 38, width - 40, 34), ui::Font::system(11));
  }

 private:
  std::string mPrompt;
};

}  // namespace

AskpassWindow::AskpassWindow(const std::string& prompt, Answer answer)
    : mAnswer(std::move(answer)) {
  mWindow = std::make_unique<ui::Window>(ui::Rect(0, 0, kWidth, kHeight),
                                         ui::kTitledWindowMask | ui::kClosableWindowMask);
  mWindow->setTitle("PluginReset");
  mWindow->setMinSize({kWidth, kHeight});
  mWindow->setMaxSize({kWidth, kHeight});
  auto content = std::make_unique<PromptView>(ui::Rect(0, 0, kWidth, kHeight), prompt);
  mField = content->addSubview(std::make_unique<PasswordField>(ui::Rect(20, 76, kWidth - 40, 26)));
  mCancel = content->addSubview(
      std::make_unique<ui::Button>(ui::Rect(kWidth - 200, 116, 84, 26), "Cancel"));
  mOk =
      content->addSubview(std::make_unique<ui::Button>(ui::Rect(kWidth - 104, 116, 84, 26), "OK"));
  mWindow->setContentView(std::move(content));
  mField->onCommit = [this] { finish(true); };
  mField->onCancel = [this] { finish(false); };
  mOk->setAction([this](ui::Control*) { finish(true); });
  mCancel->setAction([this](ui::Control*) { finish(false); });
  mCloseObserver = notify::Center::defaultCenter().addObserver(
      ui::kWindowWillCloseNotification, mWindow.get(),
      [this](const notify::Notification&) { finish(false); });
  mWindow->center();
  mWindow->makeFirstResponder(mField);
}

AskpassWindow::~AskpassWindow() {
  notify::Center::defaultCenter().removeObserver(mCloseObserver);
}

void AskpassWindow::finish(bool accepted) {
  if (mAnswered) return;
  mAnswered = true;
  if (mAnswer) mAnswer(accepted ? std::optional<std::string>(mField->text()) : std::nullopt);
}

}  // namespace reset
