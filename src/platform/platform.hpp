// Everything that differs between Windows and POSIX: the command line, how files are opened, what
// separates the directory part of a path, when two names denote one file, how a name is written
// into text, how an output replaces its file atomically and how a run locks its set of outputs
// against another run's, what tells that an open file changed, how wide a terminal is, and what
// the process does about signals and closed standard descriptors. The platform unit holds every
// system difference of the tool: this header, the shared part (platform.cpp) and one system part,
// platform_posix.cpp or platform_win32.cpp, which the build picks. Only the build conditions of
// vector code stay with that code (the line-end count, SSE2; the wide products, whether the
// compiler has 128-bit integers), apart from the one below that names a system.
//
// File names are UTF-8 inside the tool on Windows (converted from and to the wide API at the
// edges, so every name the file system can hold works) and the bytes as given elsewhere.
//
// A call that can fail gives the error number of the failure with it, for errorText: 0 or the
// number, a file or the number of why there is none (Opened, Observed), or an object that keeps
// it (AtomicOutput::errorNumber, OutputSetLock::errorNumber).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// True when this build can hold code for AVX2 (x86-64, GCC or clang, with function-level target
// attributes; not on Windows, where MinGW-w64 g++ does not align the stack for 32-byte spills).
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(_WIN32)
#define SKARVEL_PLATFORM_AVX2 1
#else
#define SKARVEL_PLATFORM_AVX2 0
#endif

namespace skarvel::platform {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept;
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// An opened file, or null with the error number of why it could not be opened.
struct Opened {
  FileHandle file;
  int errorNumber = 0;  // 0 when the file is open
};

// The command line, program name first. On Windows it is read from the wide command line and
// converted to UTF-8 (the narrow argv holds only what the ANSI code page can spell, best-fit
// mapped); elsewhere it is argv as given.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Opens an existing file for reading its bytes untranslated (the reader translates text mode
// itself, the same on every platform); null when that fails or when the name denotes a
// directory (EISDIR).
Opened openForReading(const std::string& name);

// Creates or truncates a file for writing text, so "\n" is written as the platform's native line
// end: CR LF on Windows, LF elsewhere. Null on failure.
Opened createForWriting(const std::string& name);

// Creates or truncates a file for writing bytes untranslated, so "\n" is LF on every platform.
// Null on failure.
Opened createForWritingBytes(const std::string& name);

// True for a character that ends the directory part of a path: '/' everywhere, and on Windows
// also '\' and the ':' of a drive letter.
constexpr bool isPathSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\' || c == ':';
#else
  return c == '/';
#endif
}

// True when the two names denote the same file: the same text, or the same existing file (hard
// links, symbolic links, different spellings of one path, and on Windows different letter case).
bool sameFile(const std::string& a, const std::string& b);

// The bytes that stand for a file name in the text the tool writes (the header labels and the
// console messages). On Windows: the name in the ANSI code page, as a narrow-character program
// there writes it, with '?' for a character the code page cannot spell. Elsewhere: the name as
// given.
std::string nameInText(std::string_view name);

// UTF-8 to UTF-16 and back, as Windows names need it. Exact for every UTF-16 string, also one
// with an unpaired surrogate (which Windows file names may hold): such a surrogate travels as its
// three-byte form (WTF-8). A malformed UTF-8 byte reads as U+FFFD.
std::u16string utf16FromUtf8(std::string_view utf8);
std::string utf8FromUtf16(std::u16string_view utf16);

// The system's text for an error number ("No such file or directory").
std::string errorText(int errorNumber);

// True when the stream is an interactive terminal.
bool isTerminal(std::FILE* stream);

// The width in columns of the terminal (on Windows the console window) the stream writes to;
// nothing when it is no terminal or tells no width.
std::optional<std::size_t> terminalColumns(std::FILE* stream);

// The processors this process can run on, at least 1.
unsigned processorCount();

// The size in bytes of a regular file; nothing for other files (a pipe, a device).
std::optional<std::uint64_t> regularFileSize(const std::string& name);

// True in the Windows build, for which some libraries have no build of their own.
#ifdef _WIN32
inline constexpr bool kWindowsBuild = true;
#else
inline constexpr bool kWindowsBuild = false;
#endif

// The name as one path from the root, links of its folders followed: two names that write one
// file compare equal (as far as links of the last component go, see sameTarget).
std::string comparableName(const std::string& name);

// Standard input, set to read bytes as they are (on Windows not in text mode).
std::FILE* standardInputBytes();

// What the input `name` is when it cannot name outputs beside it: "the pipe", "the device",
// "the socket", or "the system file" for a name under /dev or /proc; nothing for a regular file,
// a folder or a name that does not exist (opening it tells what is wrong).
std::optional<std::string_view> unnameableInput(const std::string& name);

// What changes when a regular file is written, cut short or rewritten: its size and the time of
// its last change (nanoseconds since 1970, as fine as the file system keeps it).
struct FileState {
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;

  bool operator==(const FileState&) const = default;
};

// The state of an open file: nothing for a file that is not regular (a pipe, a device), or the
// error number of why it cannot be told.
struct Observed {
  std::optional<FileState> state;
  int errorNumber = 0;  // 0 when the state, or that there is none, is known
};
Observed observeFile(std::FILE* file);

// Sets the size of the file `name`, cutting it short or extending it with zero bytes: 0, or the
// error number.
int resizeFile(const std::string& name, std::uint64_t size);

// True when writing to either name would write one file: sameFile, or both names lead (through
// symbolic links, followed even when they dangle) to the same path.
bool sameTarget(const std::string& a, const std::string& b);

// An output file that replaces its name atomically. A name that is (or whose links lead to) a
// regular file or nothing is written under a temporary name in the folder of the file it
// replaces, ".<name>.skarvel-tmp-<process id>", created exclusively with the permissions a plain
// creation gives (a replaced file's permission bits are copied). finish() puts its data on the
// disk, commit() renames it over the file; destroyed without a commit, it is removed. While it
// exists, its name is in the table the signal handlers clean up. Any other kind of file (a
// device, a FIFO) is written in place, and commit() has nothing to do.
class AtomicOutput {
 public:
  // Starts the output `name`; isOpen() is false when it cannot be created (a folder of that name,
  // an unwritable folder), and errorNumber() tells why.
  // `text`: "\n" is written as the platform's line end; otherwise bytes are written as they are.
  static AtomicOutput create(const std::string& name, bool text = true);

  AtomicOutput(AtomicOutput&& other) noexcept;
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;
  AtomicOutput& operator=(AtomicOutput&&) = delete;
  ~AtomicOutput();

  bool isOpen() const { return file_ != nullptr; }
  // True while commit() has a temporary file to rename over the file it replaces.
  bool replacesOnCommit() const { return !temporary_.empty(); }
  // The file to write to, unbuffered; null when not open or finished.
  std::FILE* file() const { return file_.get(); }
  // Flushes the data to the disk and closes the file. False when that fails.
  bool finish();
  // Renames the finished temporary file over the file it replaces. False when that fails; the
  // temporary file is then removed.
  bool commit();
  // The error number of the last failure of create, finish or commit; 0 while none has failed.
  int errorNumber() const { return errorNumber_; }

 private:
  AtomicOutput() = default;
  void discard() noexcept;

  FileHandle file_;
  std::string target_;     // the file replaced: the name, or where its links lead
  std::string temporary_;  // empty when written in place or once committed
  int slot_ = -1;          // the entry in the signal handlers' table, or -1
  int errorNumber_ = 0;
};

// The lock a run holds while it puts its outputs in place (the commits of its AtomicOutputs), so
// that two runs on the same outputs leave every file of one of them, never a mix. It is a file
// beside the first output that is renamed in place, ".<name>.skarvel-lock" in the folder of the
// file that output replaces. The file exists only while a run holds it: it is removed before the
// lock is released, also by the signal handlers. A process that ends otherwise (SIGKILL) gives
// the lock up with its files, and a lock file it leaves behind is taken over by the next run and
// removed. While it is held, its name is in the table the signal handlers clean up.
class OutputSetLock {
 public:
  // How long take() waits by default while another run holds the lock. A run holds it only for
  // its renames, so a wait that long means the holder is stopped or hangs.
  static constexpr std::chrono::milliseconds kPatience{30'000};

  // Takes the lock of the outputs whose first renamed one is `output` (followed through its
  // links), waiting up to `patience` while another process holds it. isHeld() is false when
  // that fails, and errorNumber() tells why: EBUSY when another process held it all that time.
  static OutputSetLock take(const std::string& output,
                            std::chrono::milliseconds patience = kPatience);

  OutputSetLock(OutputSetLock&& other) noexcept;
  OutputSetLock(const OutputSetLock&) = delete;
  OutputSetLock& operator=(const OutputSetLock&) = delete;
  OutputSetLock& operator=(OutputSetLock&&) = delete;
  // Removes the lock file and releases the lock.
  ~OutputSetLock();

  bool isHeld() const { return file_ != nullptr; }
  // The name of the lock file.
  const std::string& name() const { return name_; }
  // The error number of why take() failed; 0 while the lock is held.
  int errorNumber() const { return errorNumber_; }

 private:
  OutputSetLock() = default;

  FileHandle file_;  // the open lock file while the lock is held
  std::string name_;
  int slot_ = -1;  // the entry in the signal handlers' table, or -1
  int errorNumber_ = 0;
};

// Opens each of the standard descriptors 0, 1 and 2 that is closed on the null device, so that no
// file the run opens takes its place. Call first, before any file is opened.
void ensureStandardDescriptors();

// Ignores SIGPIPE and SIGXFSZ, so a closed console and a file-size limit become write errors, and
// makes SIGINT, SIGTERM and SIGHUP remove the temporary files of the AtomicOutputs that exist,
// then end the process as the signal does by default. A signal ignored at start stays ignored.
// On Windows: a console control handler that removes the temporary files.
void installSignalHandlers();

}  // namespace skarvel::platform
