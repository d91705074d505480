// glimshape — svg
// Purpose: replacing a file's contents as a careful editor saves: the whole new contents or
// the old file, with the target's permissions, links and kind respected.
#include "svg/filereplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// As many symbolic links as the kernel follows in one path.
constexpr int maxLinks = 40;

std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The path of the file that `path` finally names, following symbolic links (a relative link
// from the link's own directory). A missing file ends the walk: it is to be created there.
bool followLinks(std::string& path, int& error) {
  for (int hops = 0; hops <= maxLinks; ++hops) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) {
      if (errno == ENOENT) return true;
      error = errno;
      return false;
    }
    if (!S_ISLNK(info.st_mode)) return true;
    std::string target(info.st_size > 0 ? static_cast<std::size_t>(info.st_size) + 1 : 256, '\0');
    for (;;) {
      const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
      if (n < 0) {
        error = errno;
        return false;
      }
      if (static_cast<std::size_t>(n) < target.size()) {
        target.resize(static_cast<std::size_t>(n));
        break;
      }
      target.resize(2 * target.size());  // the link grew since lstat
    }
    path = !target.empty() && target[0] == '/' ? target : directoryOf(path) + "/" + target;
  }
  error = ELOOP;
  return false;
}

const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "it is a directory, not a regular file";
  if (S_ISFIFO(mode)) return "it is a named pipe, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a regular file";
  if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
  return "it is not a regular file";
}

// Writes all of `content` at the descriptor's position. 0 or the error.
int writeAll(int fd, const std::string& content, bool& touched) {
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    touched = true;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

// A new file in `dir` with a short name of its own, never one that exists. Its name is made
// without drand48, whose sequence the evolution's results depend on.
int createTemporary(const std::string& dir, mode_t mode, std::string& temporary) {
  static std::atomic<std::uint64_t> counter{0};
  static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::uint64_t z = static_cast<std::uint64_t>(::getpid()) << 32 ^ counter.fetch_add(1) ^
                      static_cast<std::uint64_t>(
                          std::chrono::steady_clock::now().time_since_epoch().count());
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    std::string name = ".glim";
    for (int k = 0; k < 6; ++k, z /= 36) name += digits[z % 36];
    temporary = dir + "/" + name;
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// The existing file at `path` rewritten through its own inode: links, owner and
// permissions stay, at the cost of a damaged file when the write fails half-way.
bool writeInPlace(const std::string& path, const std::string& content, std::string& reason) {
  // Not following a link nor waiting for a pipe's reader, should the file have been
  // swapped since it was looked at.
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  struct stat info;
  const int statError = ::fstat(fd, &info) == 0 ? 0 : errno;
  if (statError != 0 || !S_ISREG(info.st_mode)) {
    reason = statError != 0 ? std::strerror(statError) : kindOf(info.st_mode);
    ::close(fd);
    return false;
  }
  bool touched = false;
  int error = writeAll(fd, content, touched);
  if (error == 0) {
    touched = true;
    if (::ftruncate(fd, static_cast<off_t>(content.size())) != 0 || ::fsync(fd) != 0)
      error = errno;
  }
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0) return true;
  reason = std::strerror(error);
  if (touched) reason += "; the file may be damaged";
  return false;
}

}  // namespace

bool replaceFileContents(const std::string& fileName, const std::string& content,
                         std::string& reason) {
  if (fileName.empty()) {
    reason = "no file name";
    return false;
  }
  std::string path = fileName;
  int error = 0;
  if (!followLinks(path, error)) {
    reason = std::strerror(error);
    return false;
  }
  struct stat target;
  const bool exists = ::stat(path.c_str(), &target) == 0;
  if (!exists && errno != ENOENT) {
    reason = std::strerror(errno);
    return false;
  }
  if (exists && !S_ISREG(target.st_mode)) {
    reason = kindOf(target.st_mode);
    return false;
  }
  // A file the user may not write is not replaced behind its back, even in a folder the
  // user may write to.
  if (exists && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
    reason = std::strerror(errno);
    return false;
  }
  // A new file would cut the other names off this content.
  if (exists && target.st_nlink > 1) return writeInPlace(path, content, reason);

  // Private until its permissions are settled, when the target has some of its own.
  std::string temporary;
  const int fd = createTemporary(directoryOf(path), exists ? 0600 : 0666, temporary);
  if (fd < 0) {
    // A folder the user may not write to may still hold a file the user may write; a
    // full or read-only file system is no reason to risk the file.
    if (exists && (errno == EACCES || errno == EPERM)) return writeInPlace(path, content, reason);
    reason = std::strerror(errno);
    return false;
  }
  if (exists) {
    struct stat made;
    const bool sameOwner = ::fstat(fd, &made) == 0 && made.st_uid == target.st_uid &&
                           made.st_gid == target.st_gid;
    if (!sameOwner && ::fchown(fd, target.st_uid, target.st_gid) != 0) {
      ::close(fd);
      ::unlink(temporary.c_str());
      return writeInPlace(path, content, reason);
    }
    // After the owner, which clears the set-user-ID bits.
    if (::fchmod(fd, target.st_mode & 07777) != 0) error = errno;
  }
  bool touched = false;
  if (error == 0) error = writeAll(fd, content, touched);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    reason = std::strerror(error);
    return false;
  }
  return true;
}

bool createFileWithContents(const std::string& fileName, const std::string& content,
                            std::string& reason) {
  if (fileName.empty()) {
    reason = "no file name";
    return false;
  }
  std::string temporary;
  const int fd = createTemporary(directoryOf(fileName), 0666, temporary);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  bool touched = false;
  int error = writeAll(fd, content, touched);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  // link() fails rather than replace a file of that name.
  if (error == 0 && ::link(temporary.c_str(), fileName.c_str()) != 0) error = errno;
  ::unlink(temporary.c_str());
  if (error != 0) {
    reason = error == EEXIST ? "the file exists already" : std::strerror(error);
    return false;
  }
  return true;
}
