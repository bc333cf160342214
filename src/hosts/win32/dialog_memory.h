// A DialogTemplate laid out as the in-memory DLGTEMPLATE + DLGITEMTEMPLATE
// block that DialogBoxIndirectParamW takes: texts in UTF-16, dialog units
// as given, the font face chosen by the caller (after any fallback).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/dialog_template.h"

namespace qv::ui {

// WORD-granular buffer whose start is DWORD aligned (vector storage is).
std::vector<std::uint16_t> BuildDialogMemory(const DialogTemplate& tmpl, const std::wstring& font_face);

}  // namespace qv::ui
