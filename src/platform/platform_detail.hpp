// What the two parts of the platform unit give each other: the shared part (platform.cpp) the
// helpers for opening files and the cleanup the signal handlers run, the system part
// (platform_posix.cpp or platform_win32.cpp) the primitives AtomicOutput is built from and the
// names as std::filesystem takes them. Only the platform unit's own sources include this header.
#pragma once

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform.hpp"

namespace skarvel::platform {

// The file with its stdio buffering off: the reader and the writers buffer in large blocks of
// their own.
FileHandle unbuffered(std::FILE* file);

// What an fopen call gave: its file, unbuffered, or errno when it gave none.
Opened fromFopen(std::FILE* file);

// A file name as std::filesystem takes it, and back: through the wide API on Windows.
std::filesystem::path pathOf(const std::string& name);
std::string nameOf(const std::filesystem::path& path);

unsigned long processId();

// Creates the file `name`, which must not exist yet (EEXIST when it does), for writing, unbuffered.
// `text`: "\n" is written as the platform's line end.
Opened createExclusive(const std::string& name, bool text);

// Gives the new file the owner, group and permission bits of the one it replaces, as far as the
// user may; nothing on Windows.
void copyOwnerAndMode(std::FILE* file, const std::string& from);

// Puts the data of the file on the disk: 0, or the error number.
int syncToDisk(std::FILE* file);

// Renames `from` over the file `to`: 0, or the error number.
int replaceFile(const std::string& from, const std::string& to);

// Only async-signal-safe calls on POSIX, where the signal handlers remove files with it.
void removeFile(const char* name);

// One try at the lock file `name`, created when missing: the open file once this process holds
// the lock, EBUSY while another process holds it, or the error number of why it cannot be had.
// On POSIX the lock is held only once `name` still names the file locked (the holder before may
// have removed it meanwhile); on Windows the file is removed when it is closed.
Opened tryLockFile(const std::string& name);

// Gives up a lock tryLockFile took: on POSIX the file is removed first, so no other process can
// lock a file that is about to go, then closed.
void unlockFile(FileHandle file, const std::string& name);

// Removes the temporary files of the AtomicOutputs that exist: what a signal (on Windows the
// console's control event) that ends the run does first.
void removeTemporaries() noexcept;

// Keeps the signals that remove temporary files pending while their table and the files on disk
// change together. On Windows the console handler runs on a thread of its own, and there is
// nothing to block.
class HandledSignalsBlocked {
 public:
  HandledSignalsBlocked();
  HandledSignalsBlocked(const HandledSignalsBlocked&) = delete;
  HandledSignalsBlocked& operator=(const HandledSignalsBlocked&) = delete;
  ~HandledSignalsBlocked();

 private:
#ifndef _WIN32
  sigset_t previous_{};
#endif
};

}  // namespace skarvel::platform
