// JPEG through libjpeg-turbo, reading and writing its BGRA forms (a grey file
// loads as grey pixels; writing drops opacity; quality 90).
//
// libjpeg reports a fatal error by calling error_exit, which must not return. Ours
// jumps back to the setjmp of the function that started the work. Those functions
// hold only plain C data between the setjmp and the library calls (no object with
// a destructor), so the jump skips nothing that needed running. Messages are
// dropped; the warning of data that ends early counts as an error, so a truncated
// file fails instead of loading with grey rows.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/codecs/codecs.h"

namespace zol::codecs {

namespace {

constexpr int QUALITY = 90;
// Rows asked of the library at once. Given a whole row group of a subsampled file
// the library upsamples straight into our rows; given one row at a time it works
// in a spare row and copies, which took two thirds again the decoding time.
constexpr JDIMENSION ROWS_PER_READ = 16;

struct Errors {
  jpeg_error_mgr manager;   // first, so the library's pointer is also ours
  std::jmp_buf back;
};

[[noreturn]] void leave(j_common_ptr info) {
  std::longjmp(reinterpret_cast<Errors*>(info->err)->back, 1);
}

void quiet_message(j_common_ptr info, int level) {
  if (level == -1 && info->err->msg_code == JWRN_JPEG_EOF) leave(info);
}

void quiet_output(j_common_ptr) {}

void hook(Errors* errors) {
  jpeg_std_error(&errors->manager);
  errors->manager.error_exit = leave;
  errors->manager.emit_message = quiet_message;
  errors->manager.output_message = quiet_output;
}

// Each 8x8 block of a Huffman-coded file costs at least one bit in its first
// scan, so a header announcing more pixels than the bytes present could hold is
// refused before the pixels are allocated.
bool plausible(const jpeg_decompress_struct& info, size_t n) {
  if (info.arith_code) return true;
  uint64_t pixels = uint64_t(info.image_width) * info.image_height;
  return pixels <= uint64_t(n) * 8 * 64 + 64 * 64;
}

// The decoding steps, in plain C terms: `pixels` is null until the size is known
// and checked; a nonzero status stops before any allocation.
struct Decoding {
  jpeg_decompress_struct info;
  Errors errors;
  Raster* raster;
  Status status;
};

bool run_decode(Decoding* d, const uint8_t* bytes, size_t n) {
  if (setjmp(d->errors.back)) return false;
  jpeg_mem_src(&d->info, bytes, (unsigned long)n);
  jpeg_read_header(&d->info, TRUE);
  d->status = check_limits(d->info.image_width, d->info.image_height);
  if (d->status == Status::OK && !plausible(d->info, n)) d->status = Status::BAD_MEDIA;
  if (d->status == Status::OK)
    d->status = size_raster(d->info.image_width, d->info.image_height, d->raster);
  if (d->status != Status::OK) return true;
  d->info.out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(&d->info);
  uint8_t* base = reinterpret_cast<uint8_t*>(d->raster->data);
  size_t stride = size_t(d->raster->width) * 4;
  while (d->info.output_scanline < d->info.output_height) {
    JSAMPROW rows[ROWS_PER_READ];
    JDIMENSION first = d->info.output_scanline;
    JDIMENSION count = std::min<JDIMENSION>(ROWS_PER_READ, d->info.output_height - first);
    for (JDIMENSION i = 0; i < count; i++) rows[i] = base + stride * (first + i);
    jpeg_read_scanlines(&d->info, rows, count);
  }
  jpeg_finish_decompress(&d->info);
  return true;
}

struct Encoding {
  jpeg_compress_struct info;
  Errors errors;
  unsigned char* memory;
  unsigned long size;
};

bool run_encode(Encoding* e, const uint32_t* p, uint32_t w, uint32_t h) {
  if (setjmp(e->errors.back)) return false;
  jpeg_mem_dest(&e->info, &e->memory, &e->size);
  e->info.image_width = w;
  e->info.image_height = h;
  e->info.input_components = 4;
  e->info.in_color_space = JCS_EXT_BGRA;
  jpeg_set_defaults(&e->info);
  jpeg_set_quality(&e->info, QUALITY, TRUE);
  jpeg_start_compress(&e->info, TRUE);
  const uint8_t* base = reinterpret_cast<const uint8_t*>(p);
  while (e->info.next_scanline < h) {
    JSAMPROW row = const_cast<uint8_t*>(base) + size_t(w) * 4 * e->info.next_scanline;
    jpeg_write_scanlines(&e->info, &row, 1);
  }
  jpeg_finish_compress(&e->info);
  return true;
}

}  // namespace

Status decode_jpeg(const uint8_t* bytes, size_t n, Raster* out) {
  Decoding d{};
  d.raster = out;
  d.status = Status::OK;
  d.info.err = &d.errors.manager;
  hook(&d.errors);
  jpeg_create_decompress(&d.info);
  bool done = run_decode(&d, bytes, n);
  jpeg_destroy_decompress(&d.info);
  return done ? d.status : Status::BAD_MEDIA;
}

Status encode_jpeg(const uint32_t* p, uint32_t w, uint32_t h, std::vector<uint8_t>* out) {
  Encoding e{};
  e.info.err = &e.errors.manager;
  hook(&e.errors);
  jpeg_create_compress(&e.info);
  bool done = run_encode(&e, p, w, h);
  jpeg_destroy_compress(&e.info);
  if (done) out->assign(e.memory, e.memory + e.size);
  std::free(e.memory);
  return done ? Status::OK : Status::BAD_MEDIA;
}

}  // namespace zol::codecs
