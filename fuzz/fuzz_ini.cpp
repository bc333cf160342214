// Arbitrary bytes as a profile, in UTF-8, the Japanese code page and any
// form a byte-order mark announces: every read and write must stay within
// its buffers, a file must convert back to its own bytes, and what is
// written must read back. The same bytes as a recovery copy.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/file_recovery.h"
#include "profile/ini.h"
#include "profile/properties.h"

using qv::profile::IniDocument;
using qv::profile::TextForm;

namespace {

void Exercise(std::string_view bytes, unsigned code_page) {
  IniDocument doc = IniDocument::Parse(bytes, code_page);

  // Serializing is stable: what is written parses to the same document.
  const std::string serialized = doc.Serialize();
  if (IniDocument::Parse(serialized, code_page).Serialize() != serialized) std::abort();

  qv::profile::LoadMainProperties(doc);
  qv::profile::SettingsProperties settings = qv::profile::LoadSettingsProperties(doc);
  // The capacity counts the file's own characters: UTF-8 bytes here.
  const bool bytes_count = code_page == qv::platform::kUtf8CodePage &&
                           (doc.form() == TextForm::kAnsi || doc.form() == TextForm::kUtf8Bom);
  for (std::size_t capacity : {0u, 1u, 2u, 7u, 512u}) {
    qv::profile::SectionBlock block = doc.ReadSection("Servers", capacity);
    if (bytes_count && capacity >= 1 && block.text.size() > capacity) std::abort();
    if (block.length + 1 != block.text.size()) std::abort();
  }

  // Names and values taken from the input itself.
  const std::size_t size = bytes.size(), cut1 = size / 3, cut2 = 2 * size / 3;
  std::string section(bytes.substr(0, cut1 > 8 ? 8 : cut1));
  std::string key(bytes.substr(cut1, cut2 - cut1 > 8 ? 8 : cut2 - cut1));
  std::string value(bytes.substr(cut2));
  if (doc.WriteString(section, key, value)) {
    auto read = IniDocument::Parse(doc.Serialize(), code_page).Lookup(section, key);
    if (!read) std::abort();
    // Exactly, where no code page conversion lies between (a code page may
    // map two characters to one).
    const bool converted = doc.form() == TextForm::kAnsi && code_page != qv::platform::kUtf8CodePage;
    if (!converted && *read != value) std::abort();
  }
  doc.WriteSection("Servers", bytes);
  doc.ClearSection(section);
  // A server name the file cannot hold refuses the save.
  const qv::profile::ServerNameCheck check = qv::profile::CheckServerNames(doc, settings.servers, settings.server);
  const bool saved = qv::profile::SaveSettingsProperties(doc, settings).ok;
  if (check.problem != qv::profile::ServerNameProblem::kNone && saved) std::abort();
  if (saved && !IniDocument::Parse(doc.Serialize(), code_page).HasSection("Property")) std::abort();
  doc.WriteString(section, key, std::nullopt);
  doc.WriteString(section, std::nullopt, std::nullopt);
  if (doc.HasSection(section) && qv::profile::IsWritableSectionName(section)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Exercise(bytes, qv::platform::kUtf8CodePage);
  Exercise(bytes, 932);

  // A recovery copy from arbitrary bytes (a file of the user's that another
  // program may have damaged) decodes only whole, and encodes back to them.
  if (const auto copy = qv::platform::DecodeRecoveryCopy(bytes)) {
    if (qv::platform::EncodeRecoveryCopy(*copy) != bytes) std::abort();
    qv::platform::StateOfWrite(copy->path, *copy);
  }

  // UTF-16 comes back as its own bytes, unpaired surrogates included.
  std::string_view even = bytes.substr(0, size & ~std::size_t{1});
  for (bool big_endian : {false, true}) {
    if (qv::profile::Utf8ToUtf16(qv::profile::Utf16ToUtf8(even, big_endian), big_endian) != even) std::abort();
  }
  return 0;
}
