// Preloaded into the programs by the fault tests: makes one kind of file call
// fail as a failing disk or file system would.
//
//   FAULT_SHIM_FAIL    fsync | close | rename | read
//   FAULT_SHIM_SUFFIX  optional: only files whose name ends so
//
// Only calls on regular files fail (for close: files open for writing; for
// rename: the target name), so the standard streams, pipes, the terminal and
// folder syncs keep working. A failing close still releases the descriptor.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool Selected(const char* call) {
  const char* chosen = getenv("FAULT_SHIM_FAIL");
  return chosen != nullptr && strcmp(chosen, call) == 0;
}

bool NameMatches(const char* name) {
  const char* suffix = getenv("FAULT_SHIM_SUFFIX");
  if (suffix == nullptr || *suffix == '\0') return true;
  size_t name_size = strlen(name);
  size_t suffix_size = strlen(suffix);
  return name_size >= suffix_size && strcmp(name + name_size - suffix_size, suffix) == 0;
}

bool DescriptorMatches(int fd, bool writable_only) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (writable_only && (fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDONLY) return false;
  char link[64];
  char name[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t size = readlink(link, name, sizeof name - 1);
  if (size < 0) return false;
  name[size] = '\0';
  return NameMatches(name);
}

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

int Fail() {
  errno = EIO;
  return -1;
}

}  // namespace

extern "C" {

int fsync(int fd) {
  if (Selected("fsync") && DescriptorMatches(fd, false)) return Fail();
  return Next<int (*)(int)>("fsync")(fd);
}

int fdatasync(int fd) {
  if (Selected("fsync") && DescriptorMatches(fd, false)) return Fail();
  return Next<int (*)(int)>("fdatasync")(fd);
}

int close(int fd) {
  bool fail = Selected("close") && DescriptorMatches(fd, true);
  int result = Next<int (*)(int)>("close")(fd);
  return fail ? Fail() : result;
}

int rename(const char* from, const char* to) {
  if (Selected("rename") && NameMatches(to)) return Fail();
  return Next<int (*)(const char*, const char*)>("rename")(from, to);
}

int renameat(int from_folder, const char* from, int to_folder, const char* to) {
  if (Selected("rename") && NameMatches(to)) return Fail();
  return Next<int (*)(int, const char*, int, const char*)>("renameat")(from_folder, from,
                                                                       to_folder, to);
}

ssize_t read(int fd, void* data, size_t size) {
  if (Selected("read") && DescriptorMatches(fd, false)) return Fail();
  return Next<ssize_t (*)(int, void*, size_t)>("read")(fd, data, size);
}

ssize_t pread(int fd, void* data, size_t size, off_t offset) {
  if (Selected("read") && DescriptorMatches(fd, false)) return Fail();
  return Next<ssize_t (*)(int, void*, size_t, off_t)>("pread")(fd, data, size, offset);
}

ssize_t pread64(int fd, void* data, size_t size, off_t offset) {
  if (Selected("read") && DescriptorMatches(fd, false)) return Fail();
  return Next<ssize_t (*)(int, void*, size_t, off_t)>("pread64")(fd, data, size, offset);
}

}  // extern "C"
