#include "byte_stream.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace skarvel {

namespace {

class FileStream final : public ByteStream {
 public:
  explicit FileStream(std::FILE* file) : file_(file) {}

  std::size_t read(char* into, std::size_t capacity) override {
    errno = 0;
    const std::size_t got = std::fread(into, 1, capacity, file_);
    if (got < capacity && std::ferror(file_) != 0 && !error_) {
      error_ = ReadError{errno, {}};
    }
    bytes_ += got;
    return got;
  }
  std::optional<ReadError> error() const override { return error_; }
  std::uint64_t sourceBytes() const override { return bytes_; }

 private:
  std::FILE* file_;
  std::uint64_t bytes_ = 0;
  std::optional<ReadError> error_;
};

class MemoryStream final : public ByteStream {
 public:
  explicit MemoryStream(std::string_view bytes) : bytes_(bytes) {}

  std::size_t read(char* into, std::size_t capacity) override {
    const std::size_t got = std::min(capacity, bytes_.size() - offset_);
    if (got > 0) {
      std::memcpy(into, bytes_.data() + offset_, got);
      offset_ += got;
    }
    return got;
  }
  std::optional<ReadError> error() const override { return std::nullopt; }
  std::uint64_t sourceBytes() const override { return offset_; }

 private:
  std::string_view bytes_;
  std::size_t offset_ = 0;
};

class PrefixedStream final : public ByteStream {
 public:
  PrefixedStream(std::string prefix, std::unique_ptr<ByteStream> rest)
      : prefix_(std::move(prefix)), rest_(std::move(rest)) {}

  std::size_t read(char* into, std::size_t capacity) override {
    const std::size_t fromPrefix = std::min(capacity, prefix_.size() - offset_);
    std::memcpy(into, prefix_.data() + offset_, fromPrefix);
    offset_ += fromPrefix;
    if (fromPrefix == capacity) {
      return fromPrefix;
    }
    return fromPrefix + rest_->read(into + fromPrefix, capacity - fromPrefix);
  }
  std::optional<ReadError> error() const override { return rest_->error(); }
  std::uint64_t sourceBytes() const override { return rest_->sourceBytes(); }

 private:
  std::string prefix_;
  std::size_t offset_ = 0;
  std::unique_ptr<ByteStream> rest_;
};

}  // namespace

std::unique_ptr<ByteStream> fileStream(std::FILE* file) {
  return std::make_unique<FileStream>(file);
}

std::unique_ptr<ByteStream> memoryStream(std::string_view bytes) {
  return std::make_unique<MemoryStream>(bytes);
}

std::unique_ptr<ByteStream> prefixedStream(std::string prefix, std::unique_ptr<ByteStream> rest) {
  return std::make_unique<PrefixedStream>(std::move(prefix), std::move(rest));
}

}  // namespace skarvel
