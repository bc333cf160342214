// Arbitrary bytes as a profile: every read and write must stay within its
// buffers, and what is written must read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "profile/ini.h"
#include "profile/properties.h"

using qv::profile::IniDocument;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  IniDocument doc = IniDocument::Parse(bytes);

  // Reading never changes the document.
  const std::string serialized = doc.Serialize();
  if (IniDocument::Parse(serialized).Serialize() != serialized) std::abort();

  qv::profile::LoadMainProperties(doc);
  qv::profile::SettingsProperties settings = qv::profile::LoadSettingsProperties(doc);
  for (std::size_t capacity : {0u, 1u, 2u, 7u, 512u}) {
    qv::profile::SectionBlock block = doc.ReadSection("Servers", capacity);
    if (capacity >= 1 && block.text.size() > capacity) std::abort();
    if (block.length + 1 != block.text.size()) std::abort();
  }

  // Names and values taken from the input itself.
  std::size_t cut1 = size / 3, cut2 = 2 * size / 3;
  std::string section(bytes.substr(0, cut1 > 8 ? 8 : cut1));
  std::string key(bytes.substr(cut1, cut2 - cut1 > 8 ? 8 : cut2 - cut1));
  std::string value(bytes.substr(cut2));
  if (doc.WriteString(section, key, value)) {
    IniDocument again = IniDocument::Parse(doc.Serialize());
    auto read = again.Lookup(section, key);
    // Blanks around a value are not kept, as with Windows' own files.
    std::string_view expected = value;
    while (!expected.empty() && (expected.front() == ' ' || expected.front() == '\t')) expected.remove_prefix(1);
    while (!expected.empty() && (expected.back() == ' ' || expected.back() == '\t')) expected.remove_suffix(1);
    if (!read || *read != expected) std::abort();
  }
  doc.WriteSection("Servers", bytes);
  doc.ClearSection(section);
  qv::profile::SaveSettingsProperties(doc, settings);
  if (!IniDocument::Parse(doc.Serialize()).HasSection("Property")) std::abort();
  doc.WriteString(section, key, std::nullopt);
  doc.WriteString(section, std::nullopt, std::nullopt);
  if (doc.HasSection(section) && qv::profile::IsWritableSectionName(section)) std::abort();
  return 0;
}
