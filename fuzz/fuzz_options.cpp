// Command lines and number lists from arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/text.h"
#include "profile/options.h"
#include "profile/profile_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);

  std::string value = qv::profile::GetOptionValue(text, qv::profile::kProfileOption);
  if (value.size() > text.size()) std::abort();
  if (auto options = qv::profile::ParseSettingsOptions(text)) {
    if (options->profile_path.empty()) std::abort();
    // What the main program hands over comes back unchanged, whatever the
    // path holds.
    auto again = qv::profile::ParseSettingsOptions(
        qv::profile::FormatSettingsArguments(options->profile_path, options->caller_window));
    if (!again || again->profile_path != options->profile_path || again->caller_window != options->caller_window)
      std::abort();
  }
  qv::profile::HasDebugSwitch(text, qv::profile::kMainDebugSwitch);
  qv::profile::StripProgramName(text);
  qv::profile::MakeProfilePath(text);

  int a = 0, b = 0, c = 0, d = 0;
  for (const char* format : {"%i,%i", "%i,%i,%i", "%i,", "%i,%i,%i,%i", "%i,%i:%i"}) {
    int n = qv::ScanInts(text, format, {&a, &b, &c, &d});
    if (n < 0 || n > 4) std::abort();
  }
  // A profile integer reads back as written, and never beyond int.
  if (auto n = qv::ParseProfileInt(text)) {
    if (qv::ParseProfileInt(std::to_string(*n)) != *n) std::abort();
  }

  // The text as its own format, too.
  std::size_t half = size / 2;
  qv::ScanInts(text.substr(half), text.substr(0, half), {&a, &b});
  return 0;
}
