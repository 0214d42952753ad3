#include "platform.hpp"

#include <filesystem>
#include <system_error>

namespace skarvel::platform {

namespace {

constexpr const char* kReadMode = "rb";
constexpr const char* kWriteMode = "w";

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
    return nullptr;
  }
  return unbuffered(std::fopen(name.c_str(), kReadMode));
}

FileHandle createForWriting(const std::string& name) {
  return unbuffered(std::fopen(name.c_str(), kWriteMode));
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
