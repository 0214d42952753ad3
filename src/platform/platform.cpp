#include "platform.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace skarvel::platform {

namespace {

constexpr const char* kReadMode = "rb";
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

}  // namespace

void FileCloser::operator()(std::FILE* file) const noexcept {
  if (file != nullptr) {
    std::fclose(file);
  }
}

FileHandle openForReading(const std::string& name) {
  std::error_code error;
  if (std::filesystem::is_directory(name, error)) {
    errno = EISDIR;
    return nullptr;
  }
  errno = 0;
  return unbuffered(std::fopen(name.c_str(), kReadMode));
}

FileHandle createForWriting(const std::string& name) {
  errno = 0;
  return unbuffered(std::fopen(name.c_str(), kWriteMode));
}

FileHandle createForWritingBytes(const std::string& name) {
  errno = 0;
  return unbuffered(std::fopen(name.c_str(), kWriteBytesMode));
}

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

std::optional<std::uint64_t> regularFileSize(const std::string& name) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(name, error)) {
    return std::nullopt;
  }
  const std::uintmax_t size = std::filesystem::file_size(name, error);
  if (error) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(size);
}

bool sameFile(const std::string& a, const std::string& b) {
  if (a == b) {
    return true;
  }
  std::error_code error;
  const bool same = std::filesystem::equivalent(a, b, error);
  return !error && same;
}

}  // namespace skarvel::platform
