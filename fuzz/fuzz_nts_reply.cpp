// An arbitrary NTP message with extension fields, opened as a reply to a
// fixed identifier under a fixed key: the field parser never reads outside
// the bytes and each field it returns lies within them; a reply is only
// ever accepted when its authenticator verifies, so random bytes are
// refused; and a request we encode under the same key parses back to its
// fields.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/nts_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qv::engine;
  const std::vector<std::uint8_t> message(data, data + size);
  const std::vector<std::uint8_t> id(kNtsUniqueIdSize, 0x5A);
  const std::vector<std::uint8_t> key(32, 0x11);

  if (const auto fields = ParseExtensionFields(message, 0)) {
    for (const ExtensionField& f : *fields) {
      if (f.offset + 4 + f.body.size() > message.size() || f.body.size() + 4 < kMinExtensionField) std::abort();
      if (f.type == static_cast<std::uint16_t>(NtsField::kAuthenticator)) {
        if (const auto auth = DecodeAuthenticator(f.body))
          if (auth->nonce.size() + auth->ciphertext.size() + 4 > f.body.size()) std::abort();
      }
    }
  }
  const NtsReplyOpened opened = OpenNtsReply(message, id, key);
  // Forging the synthetic IV by chance is beyond any fuzzing run.
  if (opened.check == NtsReplyCheck::kOk) std::abort();

  NtsRequestParts parts;
  parts.unique_id = id;
  parts.nonce.assign(kNtsNonceSize, 0x22);
  parts.cookie.assign(data, data + std::min<std::size_t>(size, 300));
  parts.placeholders = static_cast<int>(size % 8);
  if (parts.cookie.empty()) return 0;
  const auto request = EncodeNtsRequest(parts, key);
  if (!request) std::abort();
  const auto fields = ParseExtensionFields(*request, kSntpPacketSize);
  if (!fields || fields->size() != static_cast<std::size_t>(3 + parts.placeholders)) std::abort();
  return 0;
}
