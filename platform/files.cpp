// The file layer on POSIX: open/read/write/lseek on descriptors, opendir/readdir for
// listings, stat, mkdir, unlink/rmdir, and renameat2 with RENAME_NOREPLACE so that
// a rename never replaces its target.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zol::platform::files {

int open_file(const char* path, int mode) {
  int flags = O_CLOEXEC;
  if (mode & READ) {
    flags |= O_RDONLY;
  } else {
    flags |= O_WRONLY | O_CREAT;
    if (!(mode & (APPEND | SEEK))) flags |= O_TRUNC;
  }
  int fd;
  do fd = ::open(path, flags, 0666);
  while (fd < 0 && errno == EINTR);
  return fd;
}

void close_file(int fd) {
  if (fd >= 0) ::close(fd);
}

int64_t file_size(int fd) {
  struct stat st{};
  if (fstat(fd, &st) != 0) return -1;
  return S_ISREG(st.st_mode) ? int64_t(st.st_size) : 0;
}

bool seek(int fd, int64_t position, bool to_end) {
  return lseek(fd, to_end ? 0 : off_t(position), to_end ? SEEK_END : SEEK_SET) >= 0;
}

int64_t read_bytes(int fd, void* into, int64_t count) {
  auto* at = static_cast<char*>(into);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd, at + done, size_t(std::min<int64_t>(count - done, 1 << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t write_bytes(int fd, const void* from, int64_t count) {
  auto* at = static_cast<const char*>(from);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd, at + done, size_t(std::min<int64_t>(count - done, 1 << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return -1;
    done += n;
  }
  return done;
}

namespace {

// d_type is DT_UNKNOWN on some file systems, and a link to a directory lists as one.
bool entry_is_directory(int dir_fd, const dirent* e) {
  if (e->d_type == DT_DIR) return true;
  if (e->d_type != DT_UNKNOWN && e->d_type != DT_LNK) return false;
  struct stat st{};
  return fstatat(dir_fd, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool list_directory(const char* path, std::vector<Entry>* out) {
  DIR* dir = opendir(path);
  if (!dir) return false;
  out->clear();
  while (const dirent* e = readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    out->push_back({e->d_name, entry_is_directory(dirfd(dir), e)});
  }
  closedir(dir);
  std::sort(out->begin(), out->end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return true;
}

bool status(const char* path, Status* out) {
  struct stat st{};
  if (::stat(path, &st) != 0) return false;
  out->directory = S_ISDIR(st.st_mode);
  out->size = st.st_size;
  out->modified_seconds = st.st_mtim.tv_sec;
  out->modified_nanoseconds = int32_t(st.st_mtim.tv_nsec);
  return true;
}

bool exists(const char* path) {
  struct stat st{};
  return ::stat(path, &st) == 0;
}

bool make_directory(const char* path) { return ::mkdir(path, 0777) == 0; }

bool remove(const char* path, bool directory) {
  return (directory ? ::rmdir(path) : ::unlink(path)) == 0;
}

bool rename(const char* from, const char* to) {
  return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0;
}

}  // namespace zol::platform::files
