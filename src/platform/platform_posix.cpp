// The platform unit on POSIX systems: names are the bytes as given, files are opened with stdio
// and the POSIX calls, the lock of a run's outputs is an flock on a file that exists only while it
// is held, and the terminating signals remove the temporary files of the outputs.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform.hpp"
#include "platform_detail.hpp"

namespace skarvel::platform {

namespace {

// The signals that end a run and so remove its temporary files.
constexpr int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t handledSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : kHandledSignals) {
    sigaddset(&set, signal);
  }
  return set;
}

// Opens with fopen's `mode`, unbuffered.
Opened openFile(const std::string& name, const char* mode) {
  errno = 0;
  return fromFopen(std::fopen(name.c_str(), mode));
}

void onTerminatingSignal(int signal) {
  removeTemporaries();
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  sigaction(signal, &byDefault, nullptr);
  sigset_t self;
  sigemptyset(&self);
  sigaddset(&self, signal);
  sigprocmask(SIG_UNBLOCK, &self, nullptr);
  raise(signal);
  _exit(128 + signal);  // not reached: the signal ends the process
}

}  // namespace

// ----------------------------------------------------------------------------------------------
// Names and files

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

Opened openForReading(const std::string& name) {
  std::error_code error;
  if (std::filesystem::is_directory(name, error)) {
    return {nullptr, EISDIR};
  }
  return openFile(name, "rb");
}

Opened createForWriting(const std::string& name) {
  return openFile(name, "w");
}

Opened createForWritingBytes(const std::string& name) {
  return openFile(name, "wb");
}

bool sameFile(const std::string& a, const std::string& b) {
  if (a == b) {
    return true;
  }
  std::error_code error;
  const bool same = std::filesystem::equivalent(a, b, error);
  return !error && same;
}

std::string nameInText(std::string_view name) {
  return std::string(name);
}

std::filesystem::path pathOf(const std::string& name) {
  return std::filesystem::path(name);
}

std::string nameOf(const std::filesystem::path& path) {
  return path.string();
}

std::FILE* standardInputBytes() {
  return stdin;
}

bool isTerminal(std::FILE* stream) {
  return isatty(fileno(stream)) != 0;
}

std::optional<std::size_t> terminalColumns(std::FILE* stream) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0 || size.ws_col == 0) {
    return std::nullopt;
  }
  return size.ws_col;
}

Observed observeFile(std::FILE* file) {
  struct stat status {};
  if (fstat(fileno(file), &status) != 0) {
    return {std::nullopt, errno};
  }
  if (!S_ISREG(status.st_mode)) {
    return {};
  }
  constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;
  const std::int64_t modified =
      static_cast<std::int64_t>(status.st_mtim.tv_sec) * kNanosecondsPerSecond +
      status.st_mtim.tv_nsec;
  return {FileState{static_cast<std::uint64_t>(status.st_size), modified}, 0};
}

// ----------------------------------------------------------------------------------------------
// What AtomicOutput is built from

HandledSignalsBlocked::HandledSignalsBlocked() {
  const sigset_t set = handledSignals();
  sigprocmask(SIG_BLOCK, &set, &previous_);
}

HandledSignalsBlocked::~HandledSignalsBlocked() {
  sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

unsigned long processId() {
  return static_cast<unsigned long>(getpid());
}

Opened createExclusive(const std::string& name, bool text) {
  const int fd = open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) {
    return {nullptr, errno};
  }
  std::FILE* file = fdopen(fd, text ? "w" : "wb");
  if (file == nullptr) {
    const int reason = errno;
    close(fd);
    unlink(name.c_str());
    return {nullptr, reason};
  }
  return {unbuffered(file), 0};
}

void copyOwnerAndMode(std::FILE* file, const std::string& from) {
  struct stat old {};
  if (stat(from.c_str(), &old) != 0) {
    return;
  }
  const int fd = fileno(file);
  if (fchown(fd, old.st_uid, old.st_gid) != 0) {
    // Not permitted: the file belongs to the user who runs the tool.
  }
  fchmod(fd, old.st_mode & 07777);
}

int syncToDisk(std::FILE* file) {
  return fsync(fileno(file)) == 0 ? 0 : errno;
}

int replaceFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void removeFile(const char* name) {
  unlink(name);
}

namespace {

// True when `name` names the file open on `fd`.
bool namesFile(const std::string& name, int fd) {
  struct stat opened {};
  struct stat named {};
  return fstat(fd, &opened) == 0 && lstat(name.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace

Opened tryLockFile(const std::string& name) {
  for (;;) {
    // Read access is all flock needs, and a lock file left by another user may allow no more.
    const int fd = open(name.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      return {nullptr, errno};
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int reason = errno == EWOULDBLOCK ? EBUSY : errno;
      close(fd);
      return {nullptr, reason};
    }
    if (namesFile(name, fd)) {
      std::FILE* file = fdopen(fd, "r");
      if (file == nullptr) {
        const int reason = errno;
        close(fd);
        return {nullptr, reason};
      }
      return {FileHandle(file), 0};
    }
    close(fd);  // the holder before removed it once this process had opened it: try the new one
  }
}

void unlockFile(FileHandle file, const std::string& name) {
  removeFile(name.c_str());
  file.reset();
}

// ----------------------------------------------------------------------------------------------
// Process start

void ensureStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
      continue;
    }
    const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
}

void installSignalHandlers() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
  sigaction(SIGXFSZ, &ignore, nullptr);

  struct sigaction handler {};
  handler.sa_handler = onTerminatingSignal;
  handler.sa_mask = handledSignals();
  for (const int signal : kHandledSignals) {
    struct sigaction previous {};
    if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) {
      continue;  // as under nohup, or for a background job
    }
    sigaction(signal, &handler, nullptr);
  }
}

}  // namespace skarvel::platform
