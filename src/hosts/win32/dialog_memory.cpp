#include "hosts/win32/dialog_memory.h"

#include <windows.h>
#include <commctrl.h>

#include "platform/win32/utf16.h"

namespace qv::ui {

namespace {

class Writer {
 public:
  void Word(std::uint16_t w) { out_.push_back(w); }
  void Dword(std::uint32_t d) {
    Word(static_cast<std::uint16_t>(d & 0xFFFF));
    Word(static_cast<std::uint16_t>(d >> 16));
  }
  void Short(short s) { Word(static_cast<std::uint16_t>(s)); }
  void Text(const std::wstring& s) {
    for (wchar_t c : s) Word(static_cast<std::uint16_t>(c));
    Word(0);
  }
  // Each DLGITEMTEMPLATE starts on a DWORD boundary.
  void AlignDword() {
    if (out_.size() % 2) Word(0);
  }
  std::vector<std::uint16_t> Take() { return std::move(out_); }

 private:
  std::vector<std::uint16_t> out_;
};

// Predefined class atoms of the dialog manager.
std::uint16_t ClassAtom(ControlClass cls) {
  switch (cls) {
    case ControlClass::Button: return 0x0080;
    case ControlClass::Edit: return 0x0081;
    case ControlClass::Static: return 0x0082;
    case ControlClass::ListBox: return 0x0083;
    case ControlClass::ComboBox: return 0x0085;
    case ControlClass::UpDown: return 0;  // by name
  }
  return 0x0082;
}

}  // namespace

std::vector<std::uint16_t> BuildDialogMemory(const DialogTemplate& tmpl, const std::wstring& font_face) {
  Writer w;
  DWORD style = tmpl.style & ~static_cast<DWORD>(DS_SETFONT);
  if (!font_face.empty()) style |= DS_SETFONT;
  w.Dword(style);
  w.Dword(tmpl.ex_style);
  w.Word(static_cast<std::uint16_t>(tmpl.controls.size()));
  w.Short(tmpl.x);
  w.Short(tmpl.y);
  w.Short(tmpl.cx);
  w.Short(tmpl.cy);
  w.Word(0);  // no menu
  w.Word(0);  // the dialog class
  w.Text(platform::Widen(tmpl.caption));
  if (style & DS_SETFONT) {
    w.Word(static_cast<std::uint16_t>(tmpl.font_points > 0 ? tmpl.font_points : 9));
    w.Text(font_face);
  }

  for (const ControlTemplate& c : tmpl.controls) {
    w.AlignDword();
    w.Dword(c.style | WS_CHILD);
    w.Dword(c.ex_style);
    w.Short(c.x);
    w.Short(c.y);
    w.Short(c.cx);
    w.Short(c.cy);
    w.Word(static_cast<std::uint16_t>(c.id));  // -1 becomes 0xFFFF, as resource compilers write it
    if (const std::uint16_t atom = ClassAtom(c.cls)) {
      w.Word(0xFFFF);
      w.Word(atom);
    } else {
      w.Text(UPDOWN_CLASSW);
    }
    // An icon's number is no resource of ours: the host puts the icon from
    // the program's table (LoadTemplateIcons), so the system looks for none.
    w.Text(StaticIconId(c) ? std::wstring() : platform::Widen(c.text));
    w.Word(0);  // no creation data
  }
  return w.Take();
}

}  // namespace qv::ui
