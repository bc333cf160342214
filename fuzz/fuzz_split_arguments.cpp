// The argument text of a started program split into words (how the main
// program's command line reaches the settings program off Windows), and
// joined again by the settings program.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/spawn.h"
#include "profile/options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::size_t total = 0;
  for (const std::string& word : qv::platform::SplitArguments(text)) total += word.size();
  if (total > size) std::abort();
  // Any profile path arrives whole, in the first word, and the settings
  // program reads it back from those words joined again, with its window.
  const auto words = qv::platform::SplitArguments(qv::profile::FormatSettingsArguments(text, -1234));
  if (words.size() != 3 || words[0] != "-profile=" + std::string(text) || words[1] != "-geohwnd=-1234" ||
      words[2] != "xyz")
    std::abort();
  const auto options = qv::profile::ParseSettingsOptions(qv::profile::JoinArguments(words));
  if (!text.empty() && (!options || options->profile_path != text || options->caller_window != -1234)) std::abort();
  return 0;
}
