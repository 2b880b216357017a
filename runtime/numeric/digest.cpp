// The digests through libcrypto, and HMAC built on them (see checksum.h). HMAC is
// ours rather than libcrypto's so that a key longer than the block is digested
// with the same digest the caller chose, in one place that the tests can follow.
#include <openssl/evp.h>

#include <cstring>
#include <new>

#include "runtime/numeric/checksum.h"

namespace zol::checksum {
namespace {

const EVP_MD* algorithm(Method method) {
  switch (method) {
    case Method::MD5: return EVP_md5();
    case Method::SHA1: return EVP_sha1();
    case Method::SHA256: return EVP_sha256();
    case Method::SHA384: return EVP_sha384();
    case Method::SHA512: return EVP_sha512();
    default: return nullptr;
  }
}

// Bytes the digest works on per compression step: the HMAC key block.
size_t block_size(Method method) {
  return method == Method::SHA384 || method == Method::SHA512 ? 128 : 64;
}

// Digest of two pieces in a row, without copying them together.
Digest digest2(const void* first, size_t first_length, const void* second, size_t second_length,
               Method method) {
  Digest d{};
  const EVP_MD* md = algorithm(method);
  if (!md) return d;
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  unsigned int size = 0;
  bool ok = context && EVP_DigestInit_ex(context, md, nullptr) == 1 &&
            EVP_DigestUpdate(context, first, first_length) == 1 &&
            EVP_DigestUpdate(context, second, second_length) == 1 &&
            EVP_DigestFinal_ex(context, d.bytes, &size) == 1;
  EVP_MD_CTX_free(context);
  // A library that fails on a digest it offers has no memory left: the same end as
  // any other failed allocation.
  if (!ok) throw std::bad_alloc();
  d.size = size;
  return d;
}

}  // namespace

size_t digest_size(Method method) {
  switch (method) {
    case Method::MD5: return 16;
    case Method::SHA1: return 20;
    case Method::SHA256: return 32;
    case Method::SHA384: return 48;
    case Method::SHA512: return 64;
    default: return 0;
  }
}

Digest digest(const void* data, size_t length, Method method) {
  return digest2(data, length, nullptr, 0, method);
}

Digest hmac(const void* data, size_t length, const void* key, size_t key_length, Method method) {
  if (!has_digest(method)) return Digest{};
  size_t block = block_size(method);
  uint8_t inner_pad[128] = {}, outer_pad[128] = {};
  Digest short_key{};
  if (key_length > block) {
    short_key = digest(key, key_length, method);
    key = short_key.bytes;
    key_length = short_key.size;
  }
  if (key_length) std::memcpy(inner_pad, key, key_length);
  std::memcpy(outer_pad, inner_pad, block);
  for (size_t i = 0; i < block; i++) {
    inner_pad[i] ^= 0x36;
    outer_pad[i] ^= 0x5C;
  }
  Digest inner = digest2(inner_pad, block, data, length, method);
  return digest2(outer_pad, block, inner.bytes, inner.size, method);
}

}  // namespace zol::checksum
