// What the two file.cpp share (not a service of its own): the name under
// which a file's lock and recovery copy are kept, and the recovery copy.
//
// A file written in place (where it cannot be replaced in one step) is first
// described in a recovery copy: the text it holds and the text it is to
// hold. The copy is on disk before the first byte of the file changes and is
// removed once the write is complete, so a writer that dies in between leaves
// a copy behind, and the next reading finds it and finishes the write: a
// reader sees the old text or the new one, never a mixture.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/test_seams.h"

namespace qv::platform {

// Sixteen hex digits naming a file by its canonical path (64-bit FNV-1a).
// Two paths that share a name only share a lock, which is harmless.
std::string FileKey(std::string_view canonical_path);

struct RecoveryCopy {
  std::string path;  // the canonical path of the file it belongs to
  std::string old_bytes, new_bytes;
};

std::string EncodeRecoveryCopy(const RecoveryCopy& copy);
// nullopt for anything but one whole copy (one whose writing was cut short).
std::optional<RecoveryCopy> DecodeRecoveryCopy(std::string_view bytes);

// What a file holds next to its recovery copy.
enum class WriteState {
  kOld,    // the write has not begun: nothing to finish
  kNew,    // the write is complete
  kTorn,   // part old, part new: to be finished
  kOther,  // changed since by someone else: the copy no longer applies
};
WriteState StateOfWrite(std::string_view file, const RecoveryCopy& copy);

// In-place writes go in pieces of this size, so a test can end the writer
// between two of them.
inline constexpr std::size_t kInPlacePiece = std::size_t{64} << 10;

// Calls the test's hook, if any (test_seams.h).
void StepForTesting(FileStep step, std::size_t bytes = 0);

}  // namespace qv::platform
