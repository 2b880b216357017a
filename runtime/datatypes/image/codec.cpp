// image! and the codecs: a binary's bytes decoded into a new image, an image
// encoded into a new binary!. Decoding is eager: bytes that do not decode fail
// here, never at a later pick.
//
// These are the encode and decode operations the codec objects of the system
// object (png, jpeg, bmp, gif, tiff) will call once load and save exist.
#include <cstdio>

#include "platform/codecs/codecs.h"
#include "runtime/base/output.h"
#include "runtime/core/error.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/image/image.h"

namespace zol::image {

namespace {

// The codecs' kinds by the format numbers of encode.
constexpr codecs::Kind KIND_OF_FORMAT[] = {codecs::Kind::BMP, codecs::Kind::PNG,
                                           codecs::Kind::GIF, codecs::Kind::JPEG,
                                           codecs::Kind::TIFF};

[[noreturn]] void fail(codecs::Status status) {
  if (status == codecs::Status::NO_MEMORY) fire(err::internal::NO_MEMORY);
  fire(err::access::BAD_MEDIA);
}

// The decoders write straight into a new image's store (the cell `owner`), once
// they know the size and have checked it against the same limits make_at applies.
// What can still fail is the allocation itself; the codecs take that as a status,
// so it must not escape as a raised error through the libraries' frames.
uint32_t* store_for_decoding(void* owner, uint32_t w, uint32_t h) {
  Cell* made = static_cast<Cell*>(owner);
  try {
    make_at(made, int32_t(w), int32_t(h));
  } catch (...) {
    return nullptr;
  }
  return pixels(made);
}

}  // namespace

bool known_format(const uint8_t* bytes, size_t n) {
  return codecs::sniff(bytes, n) != codecs::Kind::NONE;
}

Cell* load_binary(const Cell* binary_in, Cell* out) {
  Cell source = *binary_in;
  const uint8_t* bytes = binary::head_bytes(&source);
  size_t n = size_t(binary::length(&source));
  if (!known_format(bytes, n)) {
    *out = values::none;
    return out;
  }
  Cell made;
  codecs::Raster raster;
  raster.home = store_for_decoding;
  raster.owner = &made;
  codecs::Status status = codecs::decode(bytes, n, &raster);
  if (status != codecs::Status::OK) fail(status);
  *out = made;
  return out;
}

bool encode(const Cell* image_in, int format, Cell* out) {
  if (format < BMP || format > TIFF) {
    const char line[] = "Cannot find image encoder\n";
    output::write(line, sizeof line - 1);
    return false;
  }
  Cell image = *image_in;
  if (pixel_count(&image) == 0) fire(err::access::BAD_MEDIA);
  std::vector<uint8_t> bytes;
  codecs::Status status = codecs::encode(pixels(&image), uint32_t(width(&image)),
                                         uint32_t(height(&image)), KIND_OF_FORMAT[format], &bytes);
  if (status != codecs::Status::OK) fail(status);
  binary::load(bytes.data(), uint32_t(bytes.size()), out);
  return true;
}

}  // namespace zol::image
