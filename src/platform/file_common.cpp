// The parts of file changes that are the same on every system.
#include <algorithm>
#include <cstdint>

#include "platform/file_recovery.h"

namespace qv::platform {

namespace {

constexpr std::string_view kMagic = "QVRECOVERY1\n";
constexpr std::size_t kHeader = 12 + 3 * 8;

std::uint64_t Fnv1a(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  return hash;
}

void Put64(std::string& out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
std::uint64_t Get64(std::string_view bytes, std::size_t at) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  return v;
}

FileStepFn& Hook() {
  static FileStepFn hook;
  return hook;
}

}  // namespace

std::string FileKey(std::string_view canonical_path) {
  static const char kHex[] = "0123456789abcdef";
  const std::uint64_t hash = Fnv1a(canonical_path);
  std::string key(16, '0');
  for (int i = 0; i < 16; ++i) key[static_cast<std::size_t>(15 - i)] = kHex[(hash >> (4 * i)) & 0xF];
  return key;
}

// Magic, the three lengths (little-endian), the three texts, and a checksum
// of all that: a copy cut short anywhere fails the check.
std::string EncodeRecoveryCopy(const RecoveryCopy& copy) {
  std::string out(kMagic);
  for (const std::string* part : {&copy.path, &copy.old_bytes, &copy.new_bytes}) Put64(out, part->size());
  out.append(copy.path).append(copy.old_bytes).append(copy.new_bytes);
  Put64(out, Fnv1a(out));
  return out;
}

std::optional<RecoveryCopy> DecodeRecoveryCopy(std::string_view bytes) {
  if (bytes.size() < kHeader + 8 || !bytes.starts_with(kMagic)) return std::nullopt;
  const std::uint64_t sizes[] = {Get64(bytes, 12), Get64(bytes, 20), Get64(bytes, 28)};
  std::uint64_t body = 0;
  for (std::uint64_t size : sizes) {
    if (size > bytes.size()) return std::nullopt;
    body += size;
  }
  if (body != bytes.size() - kHeader - 8) return std::nullopt;
  if (Get64(bytes, bytes.size() - 8) != Fnv1a(bytes.substr(0, bytes.size() - 8))) return std::nullopt;
  RecoveryCopy copy;
  std::string* parts[] = {&copy.path, &copy.old_bytes, &copy.new_bytes};
  std::size_t at = kHeader;
  for (int i = 0; i < 3; ++i) {
    parts[i]->assign(bytes.substr(at, static_cast<std::size_t>(sizes[i])));
    at += static_cast<std::size_t>(sizes[i]);
  }
  return copy;
}

// A torn write holds, at each place, the old byte or the new one (or, past
// the old end, a zero the system had not yet filled), and its length lies
// between the two lengths: the new text is written over the old from the
// start, then the file is cut to the new length.
WriteState StateOfWrite(std::string_view file, const RecoveryCopy& copy) {
  if (file == copy.new_bytes) return WriteState::kNew;
  if (file == copy.old_bytes) return WriteState::kOld;
  const std::string_view from = copy.old_bytes, to = copy.new_bytes;
  if (file.size() < std::min(from.size(), to.size()) || file.size() > std::max(from.size(), to.size()))
    return WriteState::kOther;
  for (std::size_t i = 0; i < file.size(); ++i) {
    const bool old_byte = i < from.size() && file[i] == from[i];
    const bool new_byte = i < to.size() && file[i] == to[i];
    const bool unfilled = i >= from.size() && file[i] == '\0';
    if (!old_byte && !new_byte && !unfilled) return WriteState::kOther;
  }
  return WriteState::kTorn;
}

void SetFileStepHookForTesting(FileStepFn hook) { Hook() = std::move(hook); }

void StepForTesting(FileStep step, std::size_t bytes) {
  if (Hook()) Hook()(step, bytes);
}

}  // namespace qv::platform
