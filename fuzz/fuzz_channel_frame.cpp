// Frames another process of this user sends to a window: whatever arrives,
// decoding never reads past the datagram, and a frame that decodes encodes
// back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/window_channel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qv::platform::ChannelFrame frame;
  if (!qv::platform::DecodeChannelFrame(data, size, frame)) return 0;
  const qv::platform::ChannelBytes again = qv::platform::EncodeChannelFrame(frame);
  if (size != again.size() || std::memcmp(again.data(), data, size) != 0) std::abort();
  if (frame.text.size() > qv::platform::kChannelTextMax) std::abort();
  return 0;
}
