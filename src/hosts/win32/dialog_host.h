// Dialog host for Windows: real modal dialogs from in-memory templates,
// through the Unicode APIs, so Japanese texts show on any system locale.
#pragma once

#include <cstdint>
#include <string>

#include "ui/dialog.h"

namespace qv::ui {

class Win32Host final : public Host {
 public:
  Win32Host();  // registers the common-control classes the templates use
  ~Win32Host() override;

  int RunModal(Dialog& dialog, const DialogTemplate& tmpl, WindowId owner) override;
  bool Post(WindowId window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override;
  std::intptr_t Send(WindowId window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override;
  int ShowMessageBox(WindowId owner, const std::string& text, const std::string& caption, int flags) override;
  WindowId ActiveWindow() const override;
  Point ScreenSize() const override;
  Rect WorkArea() const override;
  bool IsKeyDown(Key key) const override;
  bool WindowExists(WindowId window) const override;
  bool PlacementOf(WindowId window, WindowPlacement& out, std::string& error) const override;

  // The face a dialog asking for `face` is built with: the face itself when
  // the system has it (installed or substituted), else a Japanese-capable
  // system face, else the shell's dialog face.
  static std::string ResolveFontFace(const std::string& face);
};

}  // namespace qv::ui
