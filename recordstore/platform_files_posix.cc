// Files on POSIX: plain descriptors, positioned reads and writes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "recordstore/platform.h"

namespace recordstore {

FileHandle OpenFile(const ByteString& name, FileAccess access, int mode) {
  int flags = O_CLOEXEC;
  switch (access) {
    case FileAccess::kReadWriteExisting: flags |= O_RDWR; break;
    case FileAccess::kReadWriteNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    // Non-blocking, so that a named pipe is refused by its size, not waited on;
    // reads from regular files are not affected.
    case FileAccess::kReadOnly: flags |= O_RDONLY | O_NONBLOCK; break;
    case FileAccess::kWriteTruncate: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
  }
  if (name.empty() || name.find('\0') != ByteString::npos) return kNoFile;
  int fd;
  do {
    fd = open(name.c_str(), flags, static_cast<mode_t>(mode));
  } while (fd < 0 && errno == EINTR);
  return fd < 0 ? kNoFile : fd;
}

// The folder part of a name, with its final slash; empty for the current one.
static ByteString FolderOf(const ByteString& name) {
  size_t slash = name.rfind('/');
  return slash == ByteString::npos ? ByteString() : name.substr(0, slash + 1);
}

FileHandle CreateTemporaryFile(const ByteString& final_name, int mode,
                               ByteString* temporary_name) {
  if (final_name.empty() || final_name.find('\0') != ByteString::npos) return kNoFile;
  ByteString base = final_name.substr(FolderOf(final_name).size());
  if (base.empty()) return kNoFile;  // a folder name, no file name
  // Hidden, beside the final file, so that the rename stays in one file system.
  ByteString pattern = FolderOf(final_name) + "." + base.substr(0, 200) + ".tmpXXXXXX";
  int fd = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return kNoFile;
  if (fchmod(fd, static_cast<mode_t>(mode)) != 0) {
    close(fd);
    unlink(pattern.c_str());
    return kNoFile;
  }
  *temporary_name = pattern;
  return fd;
}

int64_t ReadFileAt(FileHandle file, char* data, int64_t size, int64_t offset) {
  int64_t done = 0;
  while (done < size) {
    ssize_t n = pread(file, data + done, static_cast<size_t>(size - done), offset + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t WriteFileAt(FileHandle file, const char* data, int64_t size, int64_t offset) {
  int64_t done = 0;
  while (done < size) {
    ssize_t n = pwrite(file, data + done, static_cast<size_t>(size - done), offset + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t FileSize(FileHandle file) {
  struct stat st;
  if (fstat(file, &st) != 0) return -1;
  if (S_ISREG(st.st_mode)) return st.st_size;
  if (S_ISDIR(st.st_mode)) return -1;  // no byte size to speak of
  off_t end = lseek(file, 0, SEEK_END);  // block devices and the like
  if (end < 0) return -1;
  lseek(file, 0, SEEK_SET);
  return end;
}

bool IsRegularFile(FileHandle file) {
  struct stat st;
  return fstat(file, &st) == 0 && S_ISREG(st.st_mode);
}

int NewFileMode(int mode) {
  // umask can only be read by setting it; put it straight back.
  mode_t mask = umask(0);
  umask(mask);
  return mode & ~static_cast<int>(mask) & 07777;
}

bool SyncFile(FileHandle file) { return fsync(file) == 0; }

bool CloseFile(FileHandle file) {
  // After EINTR the descriptor is gone on Linux: do not close it twice.
  return close(file) == 0 || errno == EINTR;
}

bool RenameFile(const ByteString& from, const ByteString& to) {
  return rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const ByteString& name) { return unlink(name.c_str()) == 0; }

bool SyncFolderOf(const ByteString& name) {
  ByteString folder = FolderOf(name);
  int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool synced = fsync(fd) == 0;
  close(fd);
  return synced;
}

}  // namespace recordstore
