// The thin layer of operating-system calls under the library: files, clock
// and the clean-up on a fatal signal. The terminal has its own module
// (terminal.h). A port implements these declarations again.
#ifndef RECORDSTORE_PLATFORM_H_
#define RECORDSTORE_PLATFORM_H_

#include <cstdint>

#include "recordstore/bytes.h"

namespace recordstore {

// ---- Files. A handle is -1 when invalid.
using FileHandle = int;
constexpr FileHandle kNoFile = -1;

enum class FileAccess {
  kReadWriteExisting,   // existing file, read and write, not shortened
  kReadWriteNew,        // new empty file, fails when the name exists
  kReadOnly,            // existing file, read only
  kWriteTruncate,       // created or cut to zero length, write only
};

// Returns the handle, or kNoFile. New files get `mode` less the umask.
FileHandle OpenFile(const ByteString& name, FileAccess access, int mode = 0666);
// Creates a new file exclusively in the folder of `final_name` with the
// permission bits `mode` exactly, and stores its name in *temporary_name.
// Returns the handle (read and write), or kNoFile.
FileHandle CreateTemporaryFile(const ByteString& final_name, int mode,
                               ByteString* temporary_name);
// Reads up to `size` bytes at `offset`, looping until done or the end.
// Returns the bytes read (fewer only at the end), or -1 on an error.
int64_t ReadFileAt(FileHandle file, char* data, int64_t size, int64_t offset);
// Writes `size` bytes at `offset`, looping on short writes. Returns the bytes
// stored: `size` when done, fewer on a failure.
int64_t WriteFileAt(FileHandle file, const char* data, int64_t size, int64_t offset);
// Starts WriteFileAt in the background and returns at once; the caller must
// leave the `size` bytes at `data` untouched until FinishBackgroundWrite. One
// such write at a time: a second waits for the first to finish.
void StartBackgroundWrite(FileHandle file, const char* data, int64_t size, int64_t offset);
// Waits for the background write started last. Returns what WriteFileAt
// returned for it.
int64_t FinishBackgroundWrite();
// The file's size, or -1 (also for a folder).
int64_t FileSize(FileHandle file);
// True for a regular file.
bool IsRegularFile(FileHandle file);
// The permission bits a newly created file gets from `mode`: `mode` less the
// process's umask.
int NewFileMode(int mode);
// Each returns true on success.
bool SyncFile(FileHandle file);
bool CloseFile(FileHandle file);
bool RenameFile(const ByteString& from, const ByteString& to);
bool RemoveFile(const ByteString& name);
bool SyncFolderOf(const ByteString& name);

// ---- Clock.
// A high-resolution counter and its ticks per second; false when there is
// none.
bool ReadHighResolutionCounter(int64_t* ticks);
bool HighResolutionFrequency(int64_t* ticks_per_second);
// Milliseconds since an arbitrary fixed point, wrapping at 2^32.
uint32_t MillisecondTicks();

// ---- The end by a fatal signal (interrupt, terminate, hang-up, quit).
// Installs handlers once: they remove the registered temporary files, call
// the terminal restorer, then end the process by the signal's default
// handling. Safe to call more than once.
void InstallInterruptHandlers();
// Registers a file to remove on such an end (up to 8 at once).
void RegisterTemporaryFile(const ByteString& name);
void UnregisterTemporaryFile(const ByteString& name);
// Sets the function (async-signal-safe) that puts the terminal back.
void SetTerminalRestorer(void (*restore)());

}  // namespace recordstore

#endif  // RECORDSTORE_PLATFORM_H_
