// AES-SIV through GnuTLS, whose AES-128-SIV cipher takes the 256-bit
// key of AEAD_AES_SIV_CMAC_256 and puts the tag before the ciphertext.
#include "platform/aead.h"

#include <gnutls/crypto.h>
#include <gnutls/gnutls.h>

namespace qv::platform {

namespace {

// The cipher handle, freed however the call ends.
class SivCipher {
 public:
  explicit SivCipher(const std::vector<std::uint8_t>& key) {
    if (key.size() != kSivKeySize) return;
    gnutls_datum_t datum{const_cast<unsigned char*>(key.data()), static_cast<unsigned>(key.size())};
    if (gnutls_aead_cipher_init(&handle_, GNUTLS_CIPHER_AES_128_SIV, &datum) != 0) handle_ = nullptr;
  }
  ~SivCipher() {
    if (handle_) gnutls_aead_cipher_deinit(handle_);
  }
  SivCipher(const SivCipher&) = delete;
  SivCipher& operator=(const SivCipher&) = delete;
  gnutls_aead_cipher_hd_t get() const { return handle_; }

 private:
  gnutls_aead_cipher_hd_t handle_ = nullptr;
};

}  // namespace

bool AeadAvailable() { return true; }

std::optional<std::vector<std::uint8_t>> SivSeal(const std::vector<std::uint8_t>& key, const std::uint8_t* nonce,
                                                 std::size_t nonce_size, const std::uint8_t* ad, std::size_t ad_size,
                                                 const std::uint8_t* plain, std::size_t plain_size) {
  SivCipher cipher(key);
  if (!cipher.get() || nonce_size == 0) return std::nullopt;
  std::vector<std::uint8_t> out(plain_size + kSivTagSize);
  std::size_t out_size = out.size();
  if (gnutls_aead_cipher_encrypt(cipher.get(), nonce, nonce_size, ad, ad_size, kSivTagSize, plain, plain_size,
                                 out.data(), &out_size) != 0 ||
      out_size != out.size())
    return std::nullopt;
  return out;
}

std::optional<std::vector<std::uint8_t>> SivOpen(const std::vector<std::uint8_t>& key, const std::uint8_t* nonce,
                                                 std::size_t nonce_size, const std::uint8_t* ad, std::size_t ad_size,
                                                 const std::uint8_t* sealed, std::size_t sealed_size) {
  SivCipher cipher(key);
  if (!cipher.get() || nonce_size == 0 || sealed_size < kSivTagSize) return std::nullopt;
  // One spare byte: an empty plaintext still has a buffer to point at.
  std::vector<std::uint8_t> out(sealed_size - kSivTagSize + 1);
  std::size_t out_size = out.size();
  if (gnutls_aead_cipher_decrypt(cipher.get(), nonce, nonce_size, ad, ad_size, kSivTagSize, sealed, sealed_size,
                                 out.data(), &out_size) != 0 ||
      out_size != sealed_size - kSivTagSize)
    return std::nullopt;
  out.resize(out_size);
  return out;
}

bool RandomBytes(std::uint8_t* out, std::size_t size) { return gnutls_rnd(GNUTLS_RND_NONCE, out, size) == 0; }

}  // namespace qv::platform
