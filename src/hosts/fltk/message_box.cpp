#include "hosts/fltk/message_box.h"

#include <algorithm>

#include "hosts/fltk/fltk_draw.h"
#include "hosts/fltk/fltk_host.h"
#include "hosts/fltk/fltk_metrics.h"
#include "hosts/fltk/fltk_window.h"

namespace qv::ui::fltk {

namespace {
constexpr const char* kFace = "MS Shell Dlg";
constexpr int kPoints = 9;
constexpr int kMargin = 11;     // pixels around the contents
constexpr int kIconSize = 32;
constexpr int kButtonW = 75, kButtonH = 23, kButtonGap = 6;

class MessageBoxDialog : public Dialog {
 public:
  MessageBoxDialog(const DialogTemplate& t, bool warning, WindowId owner)
      : Dialog(t), warning_(warning), owner_(owner) {}

 protected:
  bool OnInitDialog() override {
    auto* w = static_cast<FltkWindow*>(Window());
    if (warning_) w->SetStockIcon(kMessageIconId, StockIcon::kWarning);
    // Over the owner's middle, else the work area's.
    FltkHost& host = w->host();
    const FltkWindow* owner = host.Find(owner_);
    const Rect base = owner ? owner->WindowRect() : host.WorkArea();
    const Rect self = w->WindowRect();
    const Rect work = host.WorkArea();
    int left = base.left + (base.Width() - self.Width()) / 2, top = base.top + (base.Height() - self.Height()) / 2;
    left = std::max(std::min(left, work.right - self.Width()), work.left);
    top = std::max(std::min(top, work.bottom - self.Height()), work.top);
    w->MoveWindow(left, top);
    w->Focus(kIdOk);
    return false;
  }
  // Esc and the close box answer Cancel, on a box without a Cancel button
  // too, as the system's boxes do.
  void OnCommand(int id) override {
    if (id == kIdOk || id == kIdCancel) EndDialog(id);
  }

 private:
  bool warning_;
  WindowId owner_;
};
}  // namespace

int RunMessageBox(FltkHost& host, WindowId owner, const std::string& text, const std::string& caption, int flags) {
  using namespace style;
  const DialogFont font = FontFor(kFace, kPoints);
  const bool has_cancel = (flags & 0xF) == kMbOkCancel;
  const bool warning = (flags & 0xF0) == kMbIconWarning;
  // The text's lines at most two thirds of the work area wide.
  const Rect work = host.WorkArea();
  const int max_w = std::max(work.Width() * 2 / 3, 200);
  TextWidth("", font.face, font.size);  // selects the font for measuring
  const std::vector<std::size_t> starts = WrapLines(text, max_w);
  int text_w = 0;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : text.size();
    text_w = std::max(text_w, TextWidth(text.substr(starts[i], end - starts[i]), font.face, font.size));
  }
  const int text_h = font.base_y * static_cast<int>(starts.size());
  const int icon_w = warning ? kIconSize + kMargin : 0;
  const int content_h = std::max(text_h, warning ? kIconSize : 0);
  const int buttons = has_cancel ? 2 : 1;
  const int buttons_w = buttons * kButtonW + (buttons - 1) * kButtonGap;
  const int client_w = std::max(kMargin + icon_w + text_w + kMargin, buttons_w + 2 * kMargin);
  const int button_y = kMargin + content_h + kMargin;
  const int client_h = button_y + kButtonH + kMargin;

  // Laid out in pixels, given to the window in dialog units.
  const auto ux = [&](int px) { return static_cast<short>(PixelsToUnitsX(font, px)); };
  const auto uy = [&](int px) { return static_cast<short>(PixelsToUnitsY(font, px)); };
  DialogTemplate t{0, 0, 0, ux(client_w), uy(client_h), kPopup | kCaption | kSysMenu | kDsModalFrame | kDsSetFont,
                   caption, kFace, kPoints, {}};
  if (warning)
    t.controls.push_back(
        {kMessageIconId, ControlClass::Static, "", ux(kMargin), uy(kMargin), ux(kIconSize), uy(kIconSize),
         kVisible | kSsIcon});
  const int text_y = kMargin + (content_h - text_h) / 2;
  t.controls.push_back({kMessageTextId, ControlClass::Static, text, ux(kMargin + icon_w), uy(text_y),
                        static_cast<short>(ux(text_w) + 2), uy(text_h), kVisible | kSsLeft | kSsNoPrefix});
  int bx = (client_w - buttons_w) / 2;
  t.controls.push_back({kIdOk, ControlClass::Button, "OK", ux(bx), uy(button_y), ux(kButtonW), uy(kButtonH),
                        kVisible | kTabStop | kGroup | kBsDefPushButton});
  if (has_cancel) {
    bx += kButtonW + kButtonGap;
    t.controls.push_back({kIdCancel, ControlClass::Button, "キャンセル", ux(bx), uy(button_y), ux(kButtonW),
                          uy(kButtonH), kVisible | kTabStop | kBsPushButton});
  }
  MessageBoxDialog box(t, warning, owner);
  return host.RunModal(box, t, owner);
}

}  // namespace qv::ui::fltk
