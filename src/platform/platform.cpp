#include "platform.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>
#include <utility>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: the shell API header needs its types.
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <shellapi.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace skarvel::platform {

namespace {

constexpr const char* kWriteMode = "w";
constexpr const char* kWriteBytesMode = "wb";

// The file with its stdio buffering off: the reader and the writers buffer in large blocks of
// their own.
FileHandle unbuffered(std::FILE* file) {
  FileHandle handle(file);
  if (handle) {
    std::setvbuf(handle.get(), nullptr, _IONBF, 0);
  }
  return handle;
}

constexpr char16_t kReplacement = u'\uFFFD';

void appendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The length of the sequence that `lead` starts, 0 for a byte that cannot start one.
std::size_t sequenceLength(unsigned char lead) {
  if (lead < 0x80) {
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    return 2;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    return 4;
  }
  return 0;
}

}  // namespace

std::u16string utf16FromUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = sequenceLength(lead);
    bool valid = length != 0 && i + length <= utf8.size();
    char32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3Fu);
    }
    // Overlong forms and code points beyond Unicode are malformed; a surrogate in its
    // three-byte form is kept (WTF-8).
    valid = valid && !(length == 3 && code < 0x800) &&
            !(length == 4 && (code < 0x10000 || code > 0x10FFFF));
    if (!valid) {
      out += kReplacement;
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
    i += length;
  }
  return out;
}

std::string utf8FromUtf16(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t code = utf16[i];
    const bool high = code >= 0xD800 && code <= 0xDBFF;
    if (high && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (utf16[i + 1] - 0xDC00u);
      ++i;
    }
    appendUtf8(out, code);
  }
  return out;
}

void FileCloser::operator()(std::FILE* file) const noexcept {
  if (file != nullptr) {
    std::fclose(file);
  }
}

#ifdef _WIN32

namespace {

std::wstring wideFromUtf8(std::string_view utf8) {
  const std::u16string utf16 = utf16FromUtf8(utf8);
  return std::wstring(utf16.begin(), utf16.end());
}

std::string utf8FromWide(const wchar_t* wide) {
  std::u16string utf16;
  for (; *wide != L'\0'; ++wide) {
    utf16 += static_cast<char16_t>(*wide);
  }
  return utf8FromUtf16(utf16);
}

// The name as the wide file API takes it. A path too long for the classic limit of MAX_PATH
// characters is made absolute and given the "\\?\" prefix, which lifts the limit.
std::wstring fileApiPath(const std::string& name) {
  std::wstring path = wideFromUtf8(name);
  if (path.size() < MAX_PATH - 12 || path.starts_with(L"\\\\?\\")) {
    return path;
  }
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) {
    return path;
  }
  std::wstring full(size, L'\0');
  const DWORD written = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (written == 0 || written >= size) {
    return path;
  }
  full.resize(written);
  if (full.starts_with(L"\\\\")) {
    return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share\...
  }
  return L"\\\\?\\" + full;
}

// What tells files apart on Windows: the volume and the file's number on it.
struct FileId {
  FILE_ID_INFO id;
  bool valid;
};

FileId fileIdOf(const std::string& name) {
  FileId result{};
  // No access asked for: only the identity is read, and no sharing mode of another process
  // stands in the way. Links are followed, directories open too.
  const HANDLE handle = CreateFileW(fileApiPath(name).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return result;
  }
  if (GetFileInformationByHandleEx(handle, FileIdInfo, &result.id, sizeof result.id)) {
    result.valid = true;
  } else {
    // Before Windows 8 and on some file systems: the 64-bit file index.
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(handle, &info)) {
      result.id.VolumeSerialNumber = info.dwVolumeSerialNumber;
      const DWORD parts[2] = {info.nFileIndexLow, info.nFileIndexHigh};
      static_assert(sizeof parts <= sizeof result.id.FileId.Identifier);
      std::memcpy(result.id.FileId.Identifier, parts, sizeof parts);
      result.valid = true;
    }
  }
  CloseHandle(handle);
  return result;
}

}  // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    return std::vector<std::string>(argv, argv + argc);
  }
  std::vector<std::string> args;
  args.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    args.push_back(utf8FromWide(wide[i]));
  }
  LocalFree(wide);
  return args;
}

FileHandle openForReading(const std::string& name) {
  const std::wstring path = fileApiPath(name);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    errno = EISDIR;
    return nullptr;
  }
  errno = 0;
  return unbuffered(_wfopen(path.c_str(), L"rb"));
}

FileHandle createForWriting(const std::string& name) {
  errno = 0;
  return unbuffered(_wfopen(fileApiPath(name).c_str(), L"w"));
}

FileHandle createForWritingBytes(const std::string& name) {
  errno = 0;
  return unbuffered(_wfopen(fileApiPath(name).c_str(), L"wb"));
}

bool sameFile(const std::string& a, const std::string& b) {
  if (a == b) {
    return true;
  }
  const FileId first = fileIdOf(a);
  if (!first.valid) {
    return false;
  }
  const FileId second = fileIdOf(b);
  return second.valid && first.id.VolumeSerialNumber == second.id.VolumeSerialNumber &&
         std::memcmp(first.id.FileId.Identifier, second.id.FileId.Identifier,
                     sizeof first.id.FileId.Identifier) == 0;
}

std::filesystem::path pathOf(const std::string& name) {
  return std::filesystem::path(wideFromUtf8(name));
}

std::string nameOf(const std::filesystem::path& path) {
  return utf8FromWide(path.wstring().c_str());
}

std::string nameInText(std::string_view name) {
  const UINT codePage = GetACP();
  if (codePage == CP_UTF8 || name.empty()) {
    return std::string(name);
  }
  const std::wstring wide = wideFromUtf8(name);
  const int wideLength = static_cast<int>(wide.size());
  const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength,
                                       nullptr, 0, "?", nullptr);
  if (size <= 0) {
    return std::string(name);
  }
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, text.data(), size,
                      "?", nullptr);
  return text;
}

#else

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

FileHandle openForReading(const std::string& name) {
  std::error_code error;
  if (std::filesystem::is_directory(name, error)) {
    errno = EISDIR;
    return nullptr;
  }
  errno = 0;
  return unbuffered(std::fopen(name.c_str(), "rb"));
}

FileHandle createForWriting(const std::string& name) {
  errno = 0;
  return unbuffered(std::fopen(name.c_str(), "w"));
}

FileHandle createForWritingBytes(const std::string& name) {
  errno = 0;
  return unbuffered(std::fopen(name.c_str(), "wb"));
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

#endif

int lastOpenError() {
  return errno;
}

std::string errorText(int errorNumber) {
  if (errorNumber == 0) {
    return "unknown error";
  }
  return std::strerror(errorNumber);
}

bool isTerminal(std::FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

bool seekFile(std::FILE* file, std::int64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, offset, SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool cpuHasAvx2() {
#if SKARVEL_PLATFORM_AVX2
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
         __builtin_cpu_supports("bmi2");
#else
  return false;
#endif
}

unsigned processorCount() {
  return std::max(1U, std::thread::hardware_concurrency());
}

std::optional<std::uint64_t> regularFileSize(const std::string& name) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(pathOf(name), error)) {
    return std::nullopt;
  }
  const std::uintmax_t size = std::filesystem::file_size(pathOf(name), error);
  if (error) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(size);
}

// ----------------------------------------------------------------------------------------------
// Atomic outputs and the signal handlers

namespace {

namespace fs = std::filesystem;

// The names of the temporary files that exist, for the signal handlers: a fixed table, so a
// handler neither allocates nor follows a pointer. An entry is filled and cleared only while the
// handled signals are blocked, and a run has at most three outputs.
constexpr std::size_t kTemporarySlots = 8;
constexpr std::size_t kTemporaryNameCapacity = 4096;  // longer names fail to open anyway

struct TemporarySlot {
  volatile std::sig_atomic_t used;
  char name[kTemporaryNameCapacity];
};

TemporarySlot temporaries[kTemporarySlots];

int claimSlot(const std::string& name) {
  if (name.size() >= kTemporaryNameCapacity) {
    return -1;
  }
  for (std::size_t i = 0; i < kTemporarySlots; ++i) {
    if (temporaries[i].used == 0) {
      std::memcpy(temporaries[i].name, name.c_str(), name.size() + 1);
      temporaries[i].used = 1;
      return static_cast<int>(i);
    }
  }
  return -1;
}

void releaseSlot(int slot) {
  if (slot >= 0) {
    temporaries[static_cast<std::size_t>(slot)].used = 0;
  }
}

// A link chain longer than this is a loop, and is followed no further.
constexpr int kMaxLinkHops = 40;
// Of a long file name, the temporary name keeps this many bytes, so it stays a valid name.
constexpr std::size_t kTemporaryBaseLength = 100;
constexpr int kTemporaryAttempts = 100;

// Where the links of `name` lead, followed one by one and also when the last one dangles; `name`
// itself when it is no link.
fs::path followLinks(const std::string& name) {
  fs::path path = pathOf(name);
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) {
      break;
    }
    const fs::path target = fs::read_symlink(path, error);
    if (error) {
      break;
    }
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return path;
}

// The path in one spelling: absolute, with the links of its existing folders resolved.
fs::path comparable(const fs::path& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  if (error) {
    return path.lexically_normal();
  }
  const fs::path canonical = fs::weakly_canonical(absolute, error);
  return error ? absolute.lexically_normal() : canonical;
}

#ifdef _WIN32

// The console handler runs on a thread of its own: there is nothing to block.
class HandledSignalsBlocked {
 public:
  HandledSignalsBlocked() {}
  HandledSignalsBlocked(const HandledSignalsBlocked&) = delete;
  HandledSignalsBlocked& operator=(const HandledSignalsBlocked&) = delete;
  ~HandledSignalsBlocked() {}
};

unsigned long processId() {
  return static_cast<unsigned long>(_getpid());
}

// Shared for deletion, so the console handler can remove the file while it is open.
std::FILE* createExclusive(const std::string& name, bool text) {
  const HANDLE handle =
      CreateFileW(fileApiPath(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    errno = GetLastError() == ERROR_FILE_EXISTS ? EEXIST : EACCES;
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle),
                                 _O_WRONLY | (text ? _O_TEXT : _O_BINARY));
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  return _fdopen(fd, text ? kWriteMode : kWriteBytesMode);
}

void copyOwnerAndMode(std::FILE*, const std::string&) {}

bool syncToDisk(std::FILE* file) {
  return _commit(_fileno(file)) == 0;
}

bool replaceFile(const std::string& from, const std::string& to) {
  return MoveFileExW(fileApiPath(from).c_str(), fileApiPath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// Runs on the console handler's own thread, where converting the name is allowed.
void removeFile(const char* name) {
  DeleteFileW(fileApiPath(name).c_str());
}

#else

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

// Keeps the handled signals pending while the table and the files on disk change together.
class HandledSignalsBlocked {
 public:
  HandledSignalsBlocked() {
    const sigset_t set = handledSignals();
    sigprocmask(SIG_BLOCK, &set, &previous_);
  }
  HandledSignalsBlocked(const HandledSignalsBlocked&) = delete;
  HandledSignalsBlocked& operator=(const HandledSignalsBlocked&) = delete;
  ~HandledSignalsBlocked() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }

 private:
  sigset_t previous_{};
};

unsigned long processId() {
  return static_cast<unsigned long>(getpid());
}

std::FILE* createExclusive(const std::string& name, bool text) {
  const int fd = open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) {
    return nullptr;
  }
  std::FILE* file = fdopen(fd, text ? kWriteMode : kWriteBytesMode);
  if (file == nullptr) {
    const int reason = errno;
    close(fd);
    unlink(name.c_str());
    errno = reason;
  }
  return file;
}

// Gives the new file the owner, group and permission bits of the one it replaces, as far as the
// user may.
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

bool syncToDisk(std::FILE* file) {
  return fsync(fileno(file)) == 0;
}

bool replaceFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

void removeFile(const char* name) {
  unlink(name);
}

#endif

// Only async-signal-safe calls: the signal handlers run this.
void removeTemporaries() noexcept {
  for (TemporarySlot& slot : temporaries) {
    if (slot.used != 0) {
      removeFile(slot.name);
    }
  }
}

// ".<file name>.skarvel-tmp-<process id>[-<attempt>]" in the folder of `target`.
std::string temporaryName(const fs::path& target, int attempt) {
  const std::string file = nameOf(target.filename());
  std::string name = ".";
  name.append(file, 0, std::min(file.size(), kTemporaryBaseLength));
  name += ".skarvel-tmp-" + std::to_string(processId());
  if (attempt > 0) {
    name += "-" + std::to_string(attempt);
  }
  return nameOf(target.parent_path() / pathOf(name));
}

}  // namespace

bool sameTarget(const std::string& a, const std::string& b) {
  return sameFile(a, b) || comparable(followLinks(a)) == comparable(followLinks(b));
}

AtomicOutput AtomicOutput::create(const std::string& name, bool text) {
  AtomicOutput output;
  const fs::path target = followLinks(name);
  output.target_ = nameOf(target);
  std::error_code error;
  const fs::file_status status = fs::status(target, error);
  const bool replaces = fs::exists(status);
  if (replaces && fs::is_directory(status)) {
    errno = EISDIR;
    return output;
  }
  if (replaces && !fs::is_regular_file(status)) {
    output.file_ = text ? createForWriting(name) : createForWritingBytes(name);
    return output;
  }
  const HandledSignalsBlocked blocked;
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    std::string temporary = temporaryName(target, attempt);
    const int slot = claimSlot(temporary);
    if (slot < 0) {
      return output;
    }
    std::FILE* file = createExclusive(temporary, text);
    if (file != nullptr) {
      output.file_ = unbuffered(file);
      output.temporary_ = std::move(temporary);
      output.slot_ = slot;
      break;
    }
    const int reason = errno;
    releaseSlot(slot);
    if (reason != EEXIST) {
      return output;
    }
  }
  if (output.file_ && replaces) {
    copyOwnerAndMode(output.file_.get(), output.target_);
  }
  return output;
}

AtomicOutput::AtomicOutput(AtomicOutput&& other) noexcept
    : file_(std::move(other.file_)),
      target_(std::move(other.target_)),
      temporary_(std::exchange(other.temporary_, {})),
      slot_(std::exchange(other.slot_, -1)) {}

AtomicOutput::~AtomicOutput() {
  discard();
}

void AtomicOutput::discard() noexcept {
  file_.reset();
  if (!temporary_.empty()) {
    const HandledSignalsBlocked blocked;
    removeFile(temporary_.c_str());
    releaseSlot(slot_);
    temporary_.clear();
    slot_ = -1;
  }
}

bool AtomicOutput::finish() {
  std::FILE* file = file_.release();
  if (file == nullptr) {
    return false;
  }
  bool ok = std::fflush(file) == 0;
  if (!temporary_.empty()) {
    ok = syncToDisk(file) && ok;
  }
  return std::fclose(file) == 0 && ok;
}

bool AtomicOutput::commit() {
  if (temporary_.empty()) {
    return true;
  }
  const HandledSignalsBlocked blocked;
  const bool replaced = replaceFile(temporary_, target_);
  if (!replaced) {
    removeFile(temporary_.c_str());
  }
  releaseSlot(slot_);
  temporary_.clear();
  slot_ = -1;
  return replaced;
}

// ----------------------------------------------------------------------------------------------
// Process start

#ifdef _WIN32

void ensureStandardDescriptors() {
  if (_fileno(stdin) < 0) {
    std::freopen("NUL", "r", stdin);
  }
  if (_fileno(stdout) < 0) {
    std::freopen("NUL", "w", stdout);
  }
  if (_fileno(stderr) < 0) {
    std::freopen("NUL", "w", stderr);
  }
}

namespace {

BOOL WINAPI onConsoleEvent(DWORD) {
  removeTemporaries();
  return FALSE;  // the default handler ends the process
}

}  // namespace

void installSignalHandlers() {
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

#else

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

namespace {

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

#endif

}  // namespace skarvel::platform
