// The platform unit on Windows: names travel in UTF-8 and reach the wide file API as UTF-16,
// long paths get the "\\?\" prefix, files are told apart by volume and file number, the lock of a
// run's outputs is a file opened without sharing, and the console's control events remove the
// temporary files of the outputs.
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

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform.hpp"
#include "platform_detail.hpp"

namespace skarvel::platform {

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

// Opens the file at `path` (as fileApiPath gives it) with _wfopen's `mode`, unbuffered.
Opened openFile(const std::wstring& path, const wchar_t* mode) {
  errno = 0;
  return fromFopen(_wfopen(path.c_str(), mode));
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

// The error number for an error of the file API: a name taken, or no access.
int fileApiError(DWORD error) {
  return error == ERROR_FILE_EXISTS ? EEXIST : EACCES;
}

int lastFileApiError() {
  return fileApiError(GetLastError());
}

// The handle of the C runtime's file.
HANDLE handleOf(std::FILE* file) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
}

// A file time as nanoseconds since 1970.
std::int64_t nanosecondsSince1970(const FILETIME& time) {
  constexpr std::int64_t kTicksBefore1970 = 116'444'736'000'000'000;  // 100 ns each, from 1601
  const std::int64_t ticks = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  return (ticks - kTicksBefore1970) * 100;
}

// True when the lock file `path` exists, or is being removed by the holder before (which then
// refuses access to it): another process's lock, to wait for, rather than a folder that cannot
// hold it.
bool lockFileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES ||
         GetLastError() == ERROR_ACCESS_DENIED;
}

BOOL WINAPI onConsoleEvent(DWORD) {
  removeTemporaries();
  return FALSE;  // the default handler ends the process
}

}  // namespace

// ----------------------------------------------------------------------------------------------
// Names and files

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

Opened openForReading(const std::string& name) {
  const std::wstring path = fileApiPath(name);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {nullptr, EISDIR};
  }
  return openFile(path, L"rb");
}

Opened createForWriting(const std::string& name) {
  return openFile(fileApiPath(name), L"w");
}

Opened createForWritingBytes(const std::string& name) {
  return openFile(fileApiPath(name), L"wb");
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

std::filesystem::path pathOf(const std::string& name) {
  return std::filesystem::path(wideFromUtf8(name));
}

std::string nameOf(const std::filesystem::path& path) {
  return utf8FromWide(path.wstring().c_str());
}

std::FILE* standardInputBytes() {
  _setmode(_fileno(stdin), _O_BINARY);
  return stdin;
}

bool isTerminal(std::FILE* stream) {
  return _isatty(_fileno(stream)) != 0;
}

std::optional<std::size_t> terminalColumns(std::FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO console;
  if (!GetConsoleScreenBufferInfo(handleOf(stream), &console)) {
    return std::nullopt;
  }
  const int columns = console.srWindow.Right - console.srWindow.Left + 1;
  return columns > 0 ? std::optional<std::size_t>(static_cast<std::size_t>(columns)) : std::nullopt;
}

Observed observeFile(std::FILE* file) {
  const HANDLE handle = handleOf(file);
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    return {};
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) {
    return {std::nullopt, EACCES};
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {};
  }
  const std::uint64_t size =
      (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return {FileState{size, nanosecondsSince1970(info.ftLastWriteTime)}, 0};
}

// ----------------------------------------------------------------------------------------------
// What AtomicOutput is built from

HandledSignalsBlocked::HandledSignalsBlocked() = default;

HandledSignalsBlocked::~HandledSignalsBlocked() = default;

unsigned long processId() {
  return static_cast<unsigned long>(_getpid());
}

// Shared for deletion, so the console handler can remove the file while it is open.
Opened createExclusive(const std::string& name, bool text) {
  const HANDLE handle =
      CreateFileW(fileApiPath(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return {nullptr, lastFileApiError()};
  }
  const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle),
                                 _O_WRONLY | (text ? _O_TEXT : _O_BINARY));
  if (fd < 0) {
    const int reason = errno;
    CloseHandle(handle);
    return {nullptr, reason};
  }
  return fromFopen(_fdopen(fd, text ? "w" : "wb"));
}

void copyOwnerAndMode(std::FILE*, const std::string&) {}

int syncToDisk(std::FILE* file) {
  return _commit(_fileno(file)) == 0 ? 0 : errno;
}

// A file open in another process cannot be replaced, whatever sharing it was opened with. Most
// such holds are short (another run reading the label of its output, a virus scanner), so a
// refused rename is tried again for about a second.
int replaceFile(const std::string& from, const std::string& to) {
  constexpr int kReplaceAttempts = 50;
  constexpr DWORD kReplaceRetryMs = 20;
  const std::wstring source = fileApiPath(from);
  const std::wstring target = fileApiPath(to);
  for (int attempt = 1;; ++attempt) {
    if (MoveFileExW(source.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return 0;
    }
    const DWORD error = GetLastError();
    const bool held = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
    if (!held || attempt == kReplaceAttempts) {
      return fileApiError(error);
    }
    Sleep(kReplaceRetryMs);
  }
}

// Runs on the console handler's own thread, where converting the name is allowed.
void removeFile(const char* name) {
  DeleteFileW(fileApiPath(name).c_str());
}

// Shared with no one, so the open file is the lock; removed with its last handle, also when the
// process is ended.
Opened tryLockFile(const std::string& name) {
  const std::wstring path = fileApiPath(name);
  const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    const bool busy =
        error == ERROR_SHARING_VIOLATION || (error == ERROR_ACCESS_DENIED && lockFileExists(path));
    return {nullptr, busy ? EBUSY : fileApiError(error)};
  }
  const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_RDONLY);
  if (fd < 0) {
    const int reason = errno;
    CloseHandle(handle);
    return {nullptr, reason};
  }
  std::FILE* file = _fdopen(fd, "r");
  if (file == nullptr) {
    const int reason = errno;
    _close(fd);
    return {nullptr, reason};
  }
  return {FileHandle(file), 0};
}

void unlockFile(FileHandle file, const std::string&) {
  file.reset();
}

// ----------------------------------------------------------------------------------------------
// Process start

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

void installSignalHandlers() {
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

}  // namespace skarvel::platform
