// Simple file I/O: the bodies of the file! actions read, write, delete, query and
// rename, the file reading of `checksum` and `size?`, and standard output for the
// library's `write-stdout`. Files are read and written whole (or a part from a
// position) in one go through platform/files.h; bytes become strings, binaries
// or blocks of lines, and values are written as UTF-8 with LF line ends.
//
// A file that names a directory by its spelling (see is_directory) reads as the
// block of its entries. Failures to open raise access `cannot-open` with the file.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::simple_io {

// Refinement arguments are null when not used.
struct ReadOptions {
  const Cell* part = nullptr;
  const Cell* seek = nullptr;
  bool binary = false;
  bool lines = false;
};

struct WriteOptions {
  const Cell* part = nullptr;
  const Cell* seek = nullptr;
  bool binary = false;
  bool lines = false;
  bool append = false;
};

// A file names a directory when it ends in "/", or is "." or "..", or ends in
// "/." or "/..". An empty file does not.
bool is_directory(const Cell* file);

// Reads the file (or lists the directory) into `out`, which may be the file's own
// cell.
void read(const Cell* file, const ReadOptions& how, Cell* out);
// Writes the value to the file, or to standard output when `file` is null, and
// answers the bytes written in all; -1 for a negative /part, which writes nothing.
int64_t write(const Cell* file, const Cell* value, const WriteOptions& how);
// Removes a file, or an empty directory when the spelling names one.
bool remove(const Cell* file);
// The last-write time as a universal date!, or none when the file does not
// exist or a directory spelling names a plain file.
Cell query(const Cell* file);
// Renames, never replacing an existing target.
bool rename(const Cell* from, const Cell* to);
// The size in bytes: integer!, or float! beyond integer!; none for a directory or
// a file that cannot be opened.
Cell size_of(const Cell* file);

// A byte count as a number: integer! while it fits, else float!, as integer
// literals overflow to float!.
Cell size_number(int64_t n);

// Bytes as read would make them: a binary! with how.binary, a block of lines with
// how.lines, else a string! decoded from UTF-8. Into `out`.
void bytes_to_value(const uint8_t* bytes, size_t count, const ReadOptions& how, Cell* out);

// Installs the services above behind the file! actions.
void install();

}  // namespace zol::simple_io
