#include "engine/nts_packet.h"

#include <algorithm>

#include "engine/ntp.h"
#include "platform/aead.h"

namespace qv::engine {

namespace {

constexpr std::size_t kFieldHeader = 4;
constexpr std::uint32_t kKissNtsNak = 0x4E54534E;  // "NTSN"

std::size_t Padded(std::size_t size) { return (size + 3) & ~std::size_t{3}; }

std::uint16_t Load16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

void Put16(std::vector<std::uint8_t>& out, std::size_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

void PutPadded(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
  out.resize(out.size() + Padded(bytes.size()) - bytes.size(), 0);
}

const ExtensionField* Find(const std::vector<ExtensionField>& fields, NtsField type) {
  const auto found = std::find_if(fields.begin(), fields.end(),
                                  [type](const ExtensionField& f) { return f.type == static_cast<std::uint16_t>(type); });
  return found == fields.end() ? nullptr : &*found;
}

}  // namespace

void AppendExtensionField(std::vector<std::uint8_t>& message, NtsField type, const std::uint8_t* value,
                          std::size_t size) {
  const std::size_t length = std::max(kFieldHeader + Padded(size), kMinExtensionField);
  Put16(message, static_cast<std::uint16_t>(type));
  Put16(message, length);
  message.insert(message.end(), value, value + size);
  message.resize(message.size() + length - kFieldHeader - size, 0);
}

std::optional<std::vector<ExtensionField>> ParseExtensionFields(const std::vector<std::uint8_t>& message,
                                                                std::size_t offset) {
  std::vector<ExtensionField> fields;
  std::size_t at = offset;
  while (at < message.size()) {
    if (message.size() - at < kFieldHeader) return std::nullopt;
    const std::size_t length = Load16(&message[at + 2]);
    if (length < kMinExtensionField || length % 4 != 0 || message.size() - at < length) return std::nullopt;
    ExtensionField field;
    field.type = Load16(&message[at]);
    field.offset = at;
    field.body.assign(message.begin() + static_cast<std::ptrdiff_t>(at + kFieldHeader),
                      message.begin() + static_cast<std::ptrdiff_t>(at + length));
    fields.push_back(std::move(field));
    at += length;
  }
  return fields;
}

std::optional<NtsAuthenticator> DecodeAuthenticator(const std::vector<std::uint8_t>& body) {
  if (body.size() < 4) return std::nullopt;
  const std::size_t nonce_size = Load16(&body[0]);
  const std::size_t cipher_size = Load16(&body[2]);
  // The lengths with their padding must fit; what follows is padding.
  if (nonce_size == 0 || 4 + Padded(nonce_size) + Padded(cipher_size) > body.size()) return std::nullopt;
  NtsAuthenticator auth;
  const auto nonce = body.begin() + 4;
  auth.nonce.assign(nonce, nonce + static_cast<std::ptrdiff_t>(nonce_size));
  const auto cipher = nonce + static_cast<std::ptrdiff_t>(Padded(nonce_size));
  auth.ciphertext.assign(cipher, cipher + static_cast<std::ptrdiff_t>(cipher_size));
  return auth;
}

std::optional<std::vector<std::uint8_t>> EncodeNtsRequest(const NtsRequestParts& parts,
                                                          const std::vector<std::uint8_t>& c2s_key) {
  std::vector<std::uint8_t> message(parts.header.begin(), parts.header.end());
  AppendExtensionField(message, NtsField::kUniqueIdentifier, parts.unique_id.data(), parts.unique_id.size());
  AppendExtensionField(message, NtsField::kCookie, parts.cookie.data(), parts.cookie.size());
  // Section 5.5: a placeholder is as long as the cookie; its value is ignored.
  const std::vector<std::uint8_t> blank(parts.cookie.size(), 0);
  for (int i = 0; i < parts.placeholders; ++i)
    AppendExtensionField(message, NtsField::kCookiePlaceholder, blank.data(), blank.size());

  const std::optional<std::vector<std::uint8_t>> sealed =
      platform::SivSeal(c2s_key, parts.nonce.data(), parts.nonce.size(), message.data(), message.size(), nullptr, 0);
  if (!sealed) return std::nullopt;
  std::vector<std::uint8_t> body;
  Put16(body, parts.nonce.size());
  Put16(body, sealed->size());
  PutPadded(body, parts.nonce);
  PutPadded(body, *sealed);
  AppendExtensionField(message, NtsField::kAuthenticator, body.data(), body.size());
  return message;
}

NtsReplyOpened OpenNtsReply(const std::vector<std::uint8_t>& message, const std::vector<std::uint8_t>& unique_id,
                            const std::vector<std::uint8_t>& s2c_key) {
  NtsReplyOpened opened;
  if (message.size() < kSntpPacketSize) return opened;
  std::copy_n(message.begin(), kSntpPacketSize, opened.header.begin());
  const std::optional<std::vector<ExtensionField>> fields = ParseExtensionFields(message, kSntpPacketSize);
  if (!fields) return opened;

  // Fields after the authenticator are nobody's word: only those before it.
  const auto auth_at = std::find_if(fields->begin(), fields->end(), [](const ExtensionField& f) {
    return f.type == static_cast<std::uint16_t>(NtsField::kAuthenticator);
  });
  const std::vector<ExtensionField> covered(fields->begin(), auth_at);
  const ExtensionField* id = Find(covered, NtsField::kUniqueIdentifier);
  if (!id || id->body.size() < unique_id.size() || !std::equal(unique_id.begin(), unique_id.end(), id->body.begin()) ||
      id->body.size() != Padded(unique_id.size())) {
    opened.check = NtsReplyCheck::kOtherRequest;
    return opened;
  }
  // Section 5.7: a NAK carries our identifier and no authenticator.
  const SntpPacket header = DecodeSntp(opened.header);
  if (header.stratum == 0 && header.reference_id == kKissNtsNak && auth_at == fields->end()) {
    opened.check = NtsReplyCheck::kNak;
    return opened;
  }
  if (auth_at == fields->end()) {
    opened.check = NtsReplyCheck::kNoAuthenticator;
    return opened;
  }
  const std::optional<NtsAuthenticator> auth = DecodeAuthenticator(auth_at->body);
  const std::optional<std::vector<std::uint8_t>> plain =
      auth ? platform::SivOpen(s2c_key, auth->nonce.data(), auth->nonce.size(), message.data(), auth_at->offset,
                               auth->ciphertext.data(), auth->ciphertext.size())
           : std::nullopt;
  if (!plain) {
    opened.check = NtsReplyCheck::kBadAuthenticator;
    return opened;
  }
  // The encrypted fields are a field list of their own.
  const std::optional<std::vector<ExtensionField>> inner = ParseExtensionFields(*plain, 0);
  if (!inner) {
    opened.check = NtsReplyCheck::kBadAuthenticator;
    return opened;
  }
  for (const ExtensionField& f : *inner)
    if (f.type == static_cast<std::uint16_t>(NtsField::kCookie) && !f.body.empty() && f.body.size() <= 1024)
      opened.cookies.push_back(f.body);
  opened.check = NtsReplyCheck::kOk;
  return opened;
}

}  // namespace qv::engine
