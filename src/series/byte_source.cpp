#include "byte_source.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform.hpp"

namespace skarvel {

std::size_t ByteSource::read(char* into, std::size_t capacity) {
  if (file_ == nullptr) {
    const std::size_t got = std::min(capacity, bytes_.size() - offset_);
    std::memcpy(into, bytes_.data() + offset_, got);
    offset_ += got;
    bytesRead_ += got;
    return got;
  }
  errno = 0;
  const std::size_t got = std::fread(into, 1, capacity, file_);
  if (got < capacity && std::ferror(file_) != 0) {
    failed_ = true;
    errorNumber_ = errno;
  }
  bytesRead_ += got;
  return got;
}

bool ByteSource::rewind() {
  if (file_ == nullptr) {
    offset_ = 0;
    bytesRead_ = 0;
    return true;
  }
  if (std::fseek(file_, 0, SEEK_SET) != 0) {
    failed_ = true;
    errorNumber_ = errno;
    return false;
  }
  std::clearerr(file_);
  bytesRead_ = 0;
  return true;
}

bool ByteSource::seek(std::int64_t offset) {
  if (file_ == nullptr) {
    offset_ = std::min(static_cast<std::size_t>(offset), bytes_.size());
  } else if (const int error = platform::seekFile(file_, offset); error != 0) {
    failed_ = true;
    errorNumber_ = error;
    return false;
  } else {
    std::clearerr(file_);
  }
  bytesRead_ = static_cast<std::uint64_t>(offset);
  return true;
}

}  // namespace skarvel
