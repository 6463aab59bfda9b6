// The fuzz targets' scratch folder: one per process, gone at its end.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "fuzz/fuzz_entries.h"

namespace fuzzing {

namespace {

std::string folder;

void RemoveFolder() {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") unlink((folder + "/" + name).c_str());
  }
  closedir(dir);
  rmdir(folder.c_str());
}

}  // namespace

std::string ScratchPath(const std::string& name) {
  if (folder.empty()) {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/vernam-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) abort();
    folder = pattern;
    atexit(RemoveFolder);
  }
  return folder + "/" + name;
}

bool WriteScratchFile(const std::string& path, const uint8_t* data, size_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return close(fd) == 0 && done == size;
}

}  // namespace fuzzing
