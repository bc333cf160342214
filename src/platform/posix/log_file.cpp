#include "platform/log_file.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

namespace qv::platform {

AppendResult AppendToFile(const std::string& path, std::string_view text) {
  // O_APPEND puts each write at the end, atomically against other
  // appenders; O_NONBLOCK keeps a FIFO without a reader from blocking.
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return AppendResult::kOpenFailed;
  ssize_t written = -1;
  do {
    written = write(fd, text.data(), text.size());
  } while (written < 0 && errno == EINTR);
  const bool closed = close(fd) == 0;
  return written == static_cast<ssize_t>(text.size()) && closed ? AppendResult::kWritten
                                                                 : AppendResult::kWriteFailed;
}

}  // namespace qv::platform
