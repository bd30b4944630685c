// SPDX-License-Identifier: GPL-3.0-or-later
// pluginreset-askpass: the password prompt sudo runs for PluginReset (SUDO_ASKPASS). Shows
// sudo's prompt (argv[1]) in a small window; OK writes the password and a newline to standard
// output and exits 0, Cancel or closing the window exits 1 and writes nothing.
#include <cstdio>
#include <string>

#include "platform/notify/notification_center.h"
#include "platform/ui/vxui.h"
#include "reset/password_field.h"

namespace {

class PromptView : public ui::View {
 public:
  PromptView(const ui::Rect& frame, std::string prompt) : View(frame), mPrompt(std::move(prompt)) {}
  bool isFlipped() const override { return true; }
  bool isOpaque() const override { return true; }
  void drawRect(ui::DrawContext& context, const ui::Rect&) override {
    context.setColor(ui::Color::rgba(0.11, 0.12, 0.14));
    context.fillRect(bounds());
    context.setColor(ui::Color::white(0.92));
    context.drawText("Administrator rights", ui::Rect(20, 14, bounds().size.width - 40, 20),
                     ui::Font::boldSystem(13));
    context.setColor(ui::Color::white(0.7));
    context.drawTextBlock(mPrompt, ui::Rect(20, 38, bounds().size.width - 40, 34),
                          ui::Font::system(11));
  }

 private:
  std::string mPrompt;
};

}  // namespace

int main(int argc, char** argv) {
  ui::Application& app = ui::Application::shared();
  std::string error;
  if (!app.openX11(nullptr, &error)) {
    std::fprintf(stderr, "pluginreset-askpass: no display: %s\n", error.c_str());
    return 1;
  }
  const std::string prompt = argc > 1 ? argv[1] : "Password:";
  constexpr double kWidth = 380, kHeight = 150;
  ui::Window window(ui::Rect(0, 0, kWidth, kHeight),
                    ui::kTitledWindowMask | ui::kClosableWindowMask);
  window.setTitle("PluginReset");
  auto content = std::make_unique<PromptView>(ui::Rect(0, 0, kWidth, kHeight), prompt);
  auto* field = content->addSubview(
      std::make_unique<reset::PasswordField>(ui::Rect(20, 74, kWidth - 40, 26)));
  auto* cancel = content->addSubview(
      std::make_unique<ui::Button>(ui::Rect(kWidth - 200, 112, 84, 26), "Cancel"));
  auto* ok =
      content->addSubview(std::make_unique<ui::Button>(ui::Rect(kWidth - 104, 112, 84, 26), "OK"));
  window.setContentView(std::move(content));

  int result = 1;
  auto finish = [&](bool accepted) {
    if (accepted) {
      std::fwrite(field->text().data(), 1, field->text().size(), stdout);
      std::fputc('\n', stdout);
      std::fflush(stdout);
      result = 0;
    }
    app.stop();
  };
  field->onCommit = [&] { finish(true); };
  field->onCancel = [&] { finish(false); };
  ok->setAction([&](ui::Control*) { finish(true); });
  cancel->setAction([&](ui::Control*) { finish(false); });
  const auto closed = notify::Center::defaultCenter().addObserver(
      ui::kWindowWillCloseNotification, &window, [&](const notify::Notification&) { app.stop(); });

  window.center();
  window.makeKeyAndOrderFront();
  window.makeFirstResponder(field);
  app.run();
  notify::Center::defaultCenter().removeObserver(closed);
  return result;
}
