#include "decoded_stream.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace skarvel {

namespace {

// The decoding thread's side: the encoded bytes read ahead of the decoder, and the members they
// hold, one after another.
class MemberChain {
 public:
  MemberChain(std::unique_ptr<ByteStream> encoded, std::unique_ptr<MemberDecoder> decoder,
              Compression compression, std::size_t readBytes)
      : encoded_(std::move(encoded)),
        decoder_(std::move(decoder)),
        name_(compressionName(compression)),
        input_(std::max(readBytes, 2 * kMagicBytes)),
        sourceBytes_(encoded_->sourceBytes()) {}

  // Decodes into `output` until it is full or the stream has ended; the bytes written.
  std::size_t fill(std::span<char> output) {
    std::size_t written = 0;
    while (!ended_ && written < output.size()) {
      written += step(output.subspan(written));
    }
    return written;
  }
  bool ended() const { return ended_; }
  // Why the stream ended, unless it was at the end of its last member.
  const std::optional<ReadError>& failure() const { return failure_; }
  // The encoded bytes read so far; from any thread.
  std::uint64_t sourceBytes() const { return sourceBytes_.load(std::memory_order_relaxed); }

 private:
  std::size_t step(std::span<char> output);
  void startMember();
  bool memberFollows();
  std::string_view lookAhead();
  bool readMore();

  std::span<const char> pending() const { return {input_.data() + begin_, end_ - begin_}; }
  void consume(std::size_t count) {
    begin_ += count;
    offset_ += count;
  }
  void end(std::optional<ReadError> failure) {
    ended_ = true;
    failure_ = std::move(failure);
  }
  static ReadError problem(const std::string& what, std::uint64_t at) {
    return ReadError{0, what + " at compressed byte " + std::to_string(at)};
  }

  std::unique_ptr<ByteStream> encoded_;
  std::unique_ptr<MemberDecoder> decoder_;
  std::string name_;
  std::vector<char> input_;
  // The bytes read and not yet decoded, input_[begin_, end_); the first of them is at offset_ in
  // the encoded stream.
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  std::uint64_t offset_ = 0;
  bool inputEnded_ = false;
  bool inMember_ = false;
  bool firstMember_ = true;
  bool ended_ = false;
  std::optional<ReadError> failure_;
  std::atomic<std::uint64_t> sourceBytes_;
};

std::size_t MemberChain::step(std::span<char> output) {
  if (!inMember_) {
    startMember();
    return 0;
  }
  const MemberDecoder::Step step = decoder_->decode(pending(), output);
  consume(step.consumed);
  switch (step.outcome) {
    case MemberDecoder::Outcome::decoding:
      if (step.consumed == 0 && step.produced == 0 && !readMore()) {
        end(encoded_->error().value_or(
            problem(name_ + " data ends early", offset_ + pending().size())));
      }
      break;
    case MemberDecoder::Outcome::memberEnd:
      inMember_ = false;
      break;
    case MemberDecoder::Outcome::corrupt:
      end(problem("corrupt " + name_ + " data", offset_));
      break;
    case MemberDecoder::Outcome::outOfMemory:
      end(ReadError{ENOMEM, {}});
      break;
  }
  return step.produced;
}

void MemberChain::startMember() {
  if (!firstMember_ && !memberFollows()) {
    return;
  }
  if (!decoder_->restart()) {
    end(ReadError{ENOMEM, {}});
    return;
  }
  firstMember_ = false;
  inMember_ = true;
}

// After a member: skips the zero padding the format allows and tells whether another member
// follows. Where none does, the stream ends: well at the end of the input, else with an error.
bool MemberChain::memberFollows() {
  std::string_view next = lookAhead();
  while (decoder_->takesZeroPadding() && !next.empty() && next.front() == '\0') {
    consume(std::min(next.find_first_not_of('\0'), next.size()));
    next = lookAhead();
  }
  if (next.empty()) {
    end(encoded_->error());
    return false;
  }
  if (!decoder_->beginsMember(next)) {
    end(problem("unexpected data after the " + name_ + " data", offset_));
    return false;
  }
  return true;
}

// The next kMagicBytes bytes, read where they are not yet; fewer at the end of the input.
std::string_view MemberChain::lookAhead() {
  while (pending().size() < kMagicBytes && readMore()) {
  }
  return {pending().data(), std::min(pending().size(), kMagicBytes)};
}

// Moves the bytes not yet decoded to the front and reads behind them; false when nothing more
// came.
bool MemberChain::readMore() {
  if (inputEnded_) {
    return false;
  }
  std::memmove(input_.data(), input_.data() + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
  const std::size_t room = input_.size() - end_;
  const std::size_t got = encoded_->read(input_.data() + end_, room);
  end_ += got;
  inputEnded_ = got < room;
  sourceBytes_.store(encoded_->sourceBytes(), std::memory_order_relaxed);
  return got > 0;
}

// The reader takes the buffers in the order the thread fills them, each buffer once filled and
// until given back the reader's alone. The thread stops when it has filled the last one, or when
// the reader is gone (the destructor), after the buffer it is filling.
class DecodedStream final : public ByteStream {
 public:
  DecodedStream(std::unique_ptr<ByteStream> encoded, std::unique_ptr<MemberDecoder> decoder,
                Compression compression, DecodeBuffers buffers)
      : chain_(std::move(encoded), std::move(decoder), compression, buffers.readBytes),
        buffers_(std::max<std::size_t>(buffers.bufferCount, 1),
                 std::vector<char>(std::max<std::size_t>(buffers.bufferBytes, 1))),
        sizes_(buffers_.size()),
        thread_([this] { decodeAll(); }) {}
  DecodedStream(const DecodedStream&) = delete;
  DecodedStream& operator=(const DecodedStream&) = delete;
  ~DecodedStream() override {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    emptied_.notify_one();
    thread_.join();
  }

  std::size_t read(char* into, std::size_t capacity) override {
    std::size_t copied = 0;
    while (copied < capacity && (holding_ || takeBuffer())) {
      const std::size_t count = std::min(capacity - copied, heldSize_ - heldOffset_);
      std::memcpy(into + copied, buffers_[held_].data() + heldOffset_, count);
      copied += count;
      heldOffset_ += count;
      if (heldOffset_ == heldSize_) {
        giveBack();
      }
    }
    return copied;
  }
  std::optional<ReadError> error() const override { return error_; }
  std::uint64_t sourceBytes() const override { return chain_.sourceBytes(); }

 private:
  bool takeBuffer();
  void giveBack();
  void decodeAll();
  bool waitForRoom();
  void publish(std::size_t size, bool last, std::optional<ReadError> failure);

  MemberChain chain_;  // the thread's alone
  std::vector<std::vector<char>> buffers_;
  std::vector<std::size_t> sizes_;  // of the bytes decoded into each buffer

  std::mutex mutex_;
  std::condition_variable filled_;   // a buffer filled, or the last one
  std::condition_variable emptied_;  // a buffer given back, or the reader gone
  std::uint64_t filledCount_ = 0;    // buffers the thread has filled
  std::uint64_t returnedCount_ = 0;  // buffers the reader has given back
  bool finished_ = false;            // the thread has filled the last one
  std::optional<ReadError> failure_;
  bool stopping_ = false;

  // The reader's side: the buffer it holds, and where it stands in it.
  bool holding_ = false;
  std::size_t held_ = 0;
  std::size_t heldSize_ = 0;
  std::size_t heldOffset_ = 0;
  bool ended_ = false;
  std::optional<ReadError> error_;

  std::thread thread_;  // last: it starts once the rest is made
};

// Waits for the next filled buffer; false at the end of the stream.
bool DecodedStream::takeBuffer() {
  if (ended_) {
    return false;
  }
  std::unique_lock lock(mutex_);
  filled_.wait(lock, [this] { return filledCount_ > returnedCount_ || finished_; });
  if (filledCount_ == returnedCount_) {
    ended_ = true;
    error_ = failure_;
    return false;
  }
  held_ = returnedCount_ % buffers_.size();
  heldSize_ = sizes_[held_];
  heldOffset_ = 0;
  holding_ = true;
  return true;
}

void DecodedStream::giveBack() {
  holding_ = false;
  {
    const std::lock_guard lock(mutex_);
    ++returnedCount_;
  }
  emptied_.notify_one();
}

void DecodedStream::decodeAll() {
  try {
    for (std::uint64_t count = 0; !chain_.ended() && waitForRoom(); ++count) {
      const std::size_t size = chain_.fill(buffers_[count % buffers_.size()]);
      publish(size, chain_.ended(), chain_.failure());
    }
  } catch (const std::bad_alloc&) {
    publish(0, true, ReadError{ENOMEM, {}});
  }
}

// Waits until a buffer is free; false when the reader is gone.
bool DecodedStream::waitForRoom() {
  std::unique_lock lock(mutex_);
  emptied_.wait(lock,
                [this] { return stopping_ || filledCount_ - returnedCount_ < buffers_.size(); });
  return !stopping_;
}

void DecodedStream::publish(std::size_t size, bool last, std::optional<ReadError> failure) {
  {
    const std::lock_guard lock(mutex_);
    sizes_[filledCount_ % buffers_.size()] = size;
    ++filledCount_;
    finished_ = last;
    failure_ = std::move(failure);
  }
  filled_.notify_one();
}

class FailedStream final : public ByteStream {
 public:
  FailedStream(ReadError error, std::uint64_t sourceBytes)
      : error_(std::move(error)), sourceBytes_(sourceBytes) {}

  std::size_t read(char* /*into*/, std::size_t /*capacity*/) override { return 0; }
  std::optional<ReadError> error() const override { return error_; }
  std::uint64_t sourceBytes() const override { return sourceBytes_; }

 private:
  ReadError error_;
  std::uint64_t sourceBytes_;
};

}  // namespace

std::unique_ptr<ByteStream> decodedStream(std::unique_ptr<ByteStream> encoded,
                                          std::unique_ptr<MemberDecoder> decoder,
                                          Compression compression, DecodeBuffers buffers) {
  try {
    return std::make_unique<DecodedStream>(std::move(encoded), std::move(decoder), compression,
                                           buffers);
  } catch (const std::system_error& error) {  // no thread to be had
    return failedStream(ReadError{error.code().value(), {}}, 0);
  }
}

std::unique_ptr<ByteStream> failedStream(ReadError error, std::uint64_t sourceBytes) {
  return std::make_unique<FailedStream>(std::move(error), sourceBytes);
}

}  // namespace skarvel
