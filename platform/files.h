// The file layer of the Linux platform: whole-file reads and writes through POSIX
// descriptors, directory listings, and the small path services (exists, make a
// directory, delete, rename, status). The runtime's simple I/O (the file! actions,
// `size?`, `checksum` of a file) and the library's routines `exists?`,
// `create-dir` and `write-stdout` call these; they know nothing of cells.
//
// Paths are NUL-terminated UTF-8 POSIX paths. Sizes and positions are 64-bit, so
// files of any size open, append and seek; only the caller decides what fits in a
// value. Failures answer -1 or false and raise nothing.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zol::platform::files {

// Open modes, combined as bits: READ alone opens an existing file for reading;
// otherwise the file is opened for writing, created when missing, and truncated
// unless APPEND or SEEK is set (a write at a position keeps the rest).
constexpr int READ = 1;
constexpr int WRITE = 2;
constexpr int APPEND = 4;
constexpr int SEEK = 8;

// A descriptor, or -1 for a failed open.
int open_file(const char* path, int mode);
void close_file(int fd);
// The size the system reports; 0 for pipes, devices and files like those of /proc,
// whose size is only known by reading them. -1 on failure.
int64_t file_size(int fd);
// Moves to a position from the start, or to the end with `to_end`.
bool seek(int fd, int64_t position, bool to_end = false);
// Reads until `count` bytes are in or the source ends (a pipe delivers in pieces;
// an interrupted call is resumed). Answers the bytes read, or -1 on failure.
int64_t read_bytes(int fd, void* into, int64_t count);
// Writes all `count` bytes, resuming after short writes. Answers count, or -1.
int64_t write_bytes(int fd, const void* from, int64_t count);
constexpr int STANDARD_OUTPUT = 1;

struct Entry {
  std::string name;
  bool directory = false;
};
// The entries of a directory without "." and "..", sorted by name in byte order
// (readdir's order is arbitrary). False when the directory cannot be read.
bool list_directory(const char* path, std::vector<Entry>* out);

struct Status {
  bool directory = false;
  int64_t size = 0;
  int64_t modified_seconds = 0;   // last write, seconds since 1970 in universal time
  int32_t modified_nanoseconds = 0;
};
// Follows symbolic links. False when the path names nothing reachable.
bool status(const char* path, Status* out);

bool exists(const char* path);
bool make_directory(const char* path);
// Deletes a file, or an empty directory with `directory`.
bool remove(const char* path, bool directory);
// Renames, never replacing an existing target (false then).
bool rename(const char* from, const char* to);

}  // namespace zol::platform::files
