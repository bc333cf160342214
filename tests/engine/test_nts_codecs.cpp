// The NTS codecs against hand-written wire bytes, and a reply sealed here
// as a server would seal it.
#include <gtest/gtest.h>

#include <vector>

#include "engine/nts_ke.h"
#include "engine/nts_packet.h"
#include "platform/aead.h"

namespace qv::engine {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const Bytes kProtocol{0x80, 0x01, 0x00, 0x02, 0x00, 0x00};
const Bytes kAead{0x80, 0x04, 0x00, 0x02, 0x00, 0x0F};
const Bytes kCookie{0x00, 0x05, 0x00, 0x04, 0xC0, 0x0C, 0x1E, 0x5A};
const Bytes kEnd{0x80, 0x00, 0x00, 0x00};

TEST(NtsKe, RequestBytes) { EXPECT_EQ(EncodeNtsKeRequest(), Cat({kProtocol, kAead, kEnd})); }

TEST(NtsKe, ResponsesJudged) {
  const Bytes server{0x00, 0x06, 0x00, 0x09, 'n', 't', 'p', '.', 't', 'e', 's', 't', '1'};
  const Bytes port{0x00, 0x07, 0x00, 0x02, 0x01, 0x7B};
  const struct {
    Bytes bytes;
    const char* error;  // empty: accepted
  } kCases[] = {
      {Cat({kProtocol, kAead, kCookie, kEnd}), ""},
      {Cat({kProtocol, kAead, kCookie, server, port, Bytes{0x40, 0x99, 0x00, 0x00}, kEnd}), ""},  // unknown, not critical
      {Cat({kProtocol, kAead, kCookie, Bytes{0x80, 0x02, 0x00, 0x02, 0x00, 0x01}, kEnd}), "error record 1"},
      {Cat({kProtocol, kAead, kCookie, Bytes{0x80, 0x03, 0x00, 0x02, 0x00, 0x07}, kEnd}), "warning record 7"},
      {Cat({kProtocol, kAead, kCookie, Bytes{0x80, 0x99, 0x00, 0x00}, kEnd}), "unknown critical record 153"},
      {Cat({kProtocol, Bytes{0x80, 0x04, 0x00, 0x02, 0x00, 0x1E}, kCookie, kEnd}), "server refused AES-SIV-CMAC-256"},
      {Cat({Bytes{0x80, 0x01, 0x00, 0x02, 0x80, 0x01}, kAead, kCookie, kEnd}), "server refused NTPv4"},
      {Cat({kProtocol, kAead, kEnd}), "no cookie"},
      {Cat({kProtocol, kCookie, kEnd}), "no AEAD algorithm record"},
      {Cat({kProtocol, kAead, kCookie}), "no end of message"},
      {Cat({kProtocol, kAead, kCookie, kEnd, kEnd}), "data after end of message"},
      {Cat({kProtocol, kAead, Bytes{0x00, 0x05, 0x00, 0x08, 1, 2}}), "truncated record"},
      {Cat({kProtocol, kAead, kCookie, Bytes{0x00, 0x06, 0x00, 0x03, 'a', ' ', 'b'}, kEnd}), "unusable server name"},
  };
  for (const auto& c : kCases) {
    const NtsKeDecoded d = DecodeNtsKeResponse(c.bytes);
    EXPECT_EQ(d.error, c.error);
    EXPECT_EQ(d.response.has_value(), std::string(c.error).empty()) << c.error;
  }
  const NtsKeDecoded named = DecodeNtsKeResponse(kCases[1].bytes);
  ASSERT_TRUE(named.response);
  EXPECT_EQ(named.response->server, "ntp.test1");
  EXPECT_EQ(named.response->port, 379);
  EXPECT_EQ(named.response->cookies, std::vector<Bytes>{Bytes({0xC0, 0x0C, 0x1E, 0x5A})});
}

TEST(NtsKe, BoundsAndCompleteness) {
  Bytes many = Cat({kProtocol, kAead});
  for (int i = 0; i < 12; ++i) many = Cat({many, kCookie});
  EXPECT_FALSE(NtsKeMessageComplete(many));
  many = Cat({many, kEnd});
  EXPECT_TRUE(NtsKeMessageComplete(many));
  EXPECT_EQ(DecodeNtsKeResponse(many).response->cookies.size(), kNtsMaxCookies);

  Bytes huge = Cat({kProtocol, kAead, kCookie});
  while (huge.size() <= kNtsKeMaxResponse) huge = Cat({huge, Bytes{0x00, 0x20, 0x03, 0xFC}, Bytes(1020, 0)});
  EXPECT_TRUE(NtsKeMessageComplete(huge));  // no use reading on
  EXPECT_EQ(DecodeNtsKeResponse(Cat({huge, kEnd})).error, "response larger than 64 KiB");
}

TEST(NtsFields, PaddingAndMinimumLength) {
  Bytes message;
  const Bytes five{1, 2, 3, 4, 5};
  AppendExtensionField(message, NtsField::kCookie, five.data(), five.size());
  EXPECT_EQ(message, (Bytes{0x02, 0x04, 0x00, 0x10, 1, 2, 3, 4, 5, 0, 0, 0, 0, 0, 0, 0}));
  const Bytes twenty(20, 7);
  AppendExtensionField(message, NtsField::kUniqueIdentifier, twenty.data(), twenty.size());
  EXPECT_EQ(message.size(), 16u + 24u);
  const auto fields = ParseExtensionFields(message, 0);
  ASSERT_TRUE(fields);
  ASSERT_EQ(fields->size(), 2u);
  EXPECT_EQ((*fields)[1].type, 0x0104);
  EXPECT_EQ((*fields)[1].offset, 16u);

  // Shorter than 16, not a multiple of 4, past the end.
  for (const Bytes& bad : {Bytes{0x01, 0x04, 0x00, 0x0C, 0, 0, 0, 0, 0, 0, 0, 0},
                           Bytes{0x01, 0x04, 0x00, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                           Bytes{0x01, 0x04, 0x00, 0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}})
    EXPECT_FALSE(ParseExtensionFields(bad, 0));
}

// A reply as a server builds it: header, our identifier, then the
// authenticator over both, its encrypted fields holding one new cookie.
Bytes ServerReply(const Bytes& id, const Bytes& key, const Bytes& cookie) {
  Bytes message(kSntpPacketSize, 0);
  message[0] = 0x24;  // version 4, server
  AppendExtensionField(message, NtsField::kUniqueIdentifier, id.data(), id.size());
  Bytes inner;
  AppendExtensionField(inner, NtsField::kCookie, cookie.data(), cookie.size());
  const Bytes nonce(16, 0x33);
  const auto sealed =
      platform::SivSeal(key, nonce.data(), nonce.size(), message.data(), message.size(), inner.data(), inner.size());
  Bytes body{0x00, 0x10, static_cast<std::uint8_t>(sealed->size() >> 8), static_cast<std::uint8_t>(sealed->size())};
  body = Cat({body, nonce, *sealed});
  AppendExtensionField(message, NtsField::kAuthenticator, body.data(), body.size());
  return message;
}

TEST(NtsFields, ReplyOpenedOnlyWhenWhole) {
  if (!platform::AeadAvailable()) GTEST_SKIP() << "no AES-SIV in this build";
  const Bytes id(kNtsUniqueIdSize, 0xA5), key(32, 0x42), cookie(64, 0xC7);
  const Bytes reply = ServerReply(id, key, cookie);
  const NtsReplyOpened opened = OpenNtsReply(reply, id, key);
  ASSERT_EQ(opened.check, NtsReplyCheck::kOk);
  EXPECT_EQ(opened.cookies, std::vector<Bytes>{cookie});

  EXPECT_EQ(OpenNtsReply(reply, Bytes(kNtsUniqueIdSize, 0xA6), key).check, NtsReplyCheck::kOtherRequest);
  EXPECT_EQ(OpenNtsReply(reply, id, Bytes(32, 0x43)).check, NtsReplyCheck::kBadAuthenticator);
  // Every byte is covered: the header, the identifier, the nonce, the
  // sealed fields.
  for (std::size_t at : {std::size_t{40}, std::size_t{60}, std::size_t{94}, reply.size() - 1}) {
    Bytes changed = reply;
    changed[at] ^= 0x01;
    EXPECT_NE(OpenNtsReply(changed, id, key).check, NtsReplyCheck::kOk) << at;
  }
  Bytes stripped(reply.begin(), reply.begin() + 48 + 36);
  EXPECT_EQ(OpenNtsReply(stripped, id, key).check, NtsReplyCheck::kNoAuthenticator);

  // A NAK: kiss code NTSN, our identifier, nothing sealed.
  stripped[1] = 0;
  stripped[12] = 'N', stripped[13] = 'T', stripped[14] = 'S', stripped[15] = 'N';
  EXPECT_EQ(OpenNtsReply(stripped, id, key).check, NtsReplyCheck::kNak);
}

TEST(NtsFields, RequestLayout) {
  if (!platform::AeadAvailable()) GTEST_SKIP() << "no AES-SIV in this build";
  NtsRequestParts parts;
  parts.unique_id.assign(kNtsUniqueIdSize, 1);
  parts.cookie.assign(100, 2);
  parts.nonce.assign(kNtsNonceSize, 3);
  parts.placeholders = 2;
  const auto request = EncodeNtsRequest(parts, Bytes(32, 4));
  ASSERT_TRUE(request);
  const auto fields = ParseExtensionFields(*request, kSntpPacketSize);
  ASSERT_TRUE(fields);
  std::vector<std::uint16_t> types;
  for (const auto& f : *fields) types.push_back(f.type);
  EXPECT_EQ(types, (std::vector<std::uint16_t>{0x0104, 0x0204, 0x0304, 0x0304, 0x0404}));
  EXPECT_EQ((*fields)[2].body.size(), 100u);  // a placeholder is the cookie's size
  const auto auth = DecodeAuthenticator(fields->back().body);
  ASSERT_TRUE(auth);
  EXPECT_EQ(auth->nonce, parts.nonce);
  EXPECT_EQ(auth->ciphertext.size(), platform::kSivTagSize);  // nothing encrypted
  // The tag verifies over everything before the authenticator.
  EXPECT_TRUE(platform::SivOpen(Bytes(32, 4), auth->nonce.data(), auth->nonce.size(), request->data(),
                                fields->back().offset, auth->ciphertext.data(), auth->ciphertext.size()));
}

}  // namespace
}  // namespace qv::engine
