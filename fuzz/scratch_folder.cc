// The fuzz targets' scratch folders: one per target and process, gone at its
// end.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <string>

#include "fuzz/fuzz_entries.h"

namespace fuzzing {

namespace {

std::map<std::string, std::string> folders;  // target -> folder

void RemoveFolders() {
  for (const auto& [target, folder] : folders) {
    for (const std::string& name : FolderEntries(folder)) unlink((folder + "/" + name).c_str());
    rmdir(folder.c_str());
  }
}

}  // namespace

std::string ScratchFolder(const std::string& target) {
  auto found = folders.find(target);
  if (found != folders.end()) return found->second;
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/vernam-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) abort();
  if (folders.empty()) atexit(RemoveFolders);
  folders[target] = pattern;
  return pattern;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  return names;
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
