#include "byte_source.hpp"

#include <algorithm>
#include <cstring>
#include <string>

namespace skarvel {

std::size_t ByteSource::read(char* into, std::size_t capacity) {
  const std::size_t fromHeld = std::min(capacity, held_.size() - heldAt_);
  if (fromHeld > 0) {
    std::memcpy(into, held_.data() + heldAt_, fromHeld);
    heldAt_ += fromHeld;
  }
  if (!keeping_ && heldAt_ == held_.size() && !held_.empty()) {
    held_ = {};  // all given out again: the memory goes
    heldAt_ = 0;
  }
  const std::size_t got = fromHeld + readStream(into + fromHeld, capacity - fromHeld);
  bytesRead_ += got;
  return got;
}

std::size_t ByteSource::readStream(char* into, std::size_t capacity) {
  if (capacity == 0 || error_) {
    return 0;
  }
  const std::size_t got = stream_->read(into, capacity);
  if (got < capacity) {
    error_ = stream_->error();
  }
  if (keeping_) {
    if (held_.size() + got > kKeepLimit) {
      keeping_ = false;
      held_ = {};
      heldAt_ = 0;
    } else {
      held_.insert(held_.end(), into, into + got);
      heldAt_ = held_.size();
    }
  }
  return got;
}

bool ByteSource::rewind() {
  if (!keeping_) {
    if (!error_) {
      error_ = ReadError{
          0, "more than " + std::to_string(kKeepLimit >> 20) + " MiB before the first data row"};
    }
    return false;
  }
  heldAt_ = 0;
  bytesRead_ = 0;
  return true;
}

void ByteSource::forgetStart() {
  if (keeping_) {
    keeping_ = false;
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(heldAt_));
    heldAt_ = 0;
  }
}

void ByteSource::unread(std::string_view bytes) {
  std::vector<char> ahead(bytes.begin(), bytes.end());
  ahead.insert(ahead.end(), held_.begin() + static_cast<std::ptrdiff_t>(heldAt_), held_.end());
  held_ = std::move(ahead);
  heldAt_ = 0;
  bytesRead_ -= bytes.size();
}

}  // namespace skarvel
