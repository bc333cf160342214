// Appending records to the logs: one record, one write.
#pragma once

#include <string>
#include <string_view>

namespace qv::platform {

enum class AppendResult {
  kWritten,
  kOpenFailed,   // the file could not be opened (bad folder, no right, locked)
  kWriteFailed,  // opened, but not all of the record was stored (disk full)
};

// Appends `text` to the file at `path` (UTF-8; created when missing) with a
// single write at the file's end, so that records that processes append at
// once never interleave. Each "\n" is stored as the OS's text line end
// (CR LF on Windows). Never waits for a reader, as opening a FIFO would.
AppendResult AppendToFile(const std::string& path, std::string_view text);

}  // namespace qv::platform
