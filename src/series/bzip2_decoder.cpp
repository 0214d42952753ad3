// bzip2 through libbz2.
#include <bzlib.h>

#include <memory>

#include "member_decoder.hpp"

namespace skarvel {

namespace {

class Bzip2Decoder final : public MemberDecoder {
 public:
  ~Bzip2Decoder() override { stop(); }

  bool restart() override {
    stop();
    started_ = BZ2_bzDecompressInit(&stream_, 0, 0) == BZ_OK;
    return started_;
  }

  Step decode(std::span<const char> input, std::span<char> output) override {
    // libbz2 takes its input through a pointer to non-const bytes; it only reads them.
    stream_.next_in = const_cast<char*>(input.data());
    stream_.avail_in = clampedSize(input.size());
    stream_.next_out = output.data();
    stream_.avail_out = clampedSize(output.size());
    const unsigned given = stream_.avail_in;
    const unsigned room = stream_.avail_out;
    const int status = BZ2_bzDecompress(&stream_);
    return Step{given - stream_.avail_in, room - stream_.avail_out,
                outcomeOf(status, {BZ_OK}, BZ_STREAM_END, BZ_MEM_ERROR)};
  }

  // The block size digit after the magic is the library's to check.
  bool beginsMember(std::string_view next) const override { return agreesWith(kBzip2Magic, next); }

 private:
  void stop() {
    if (started_) {
      BZ2_bzDecompressEnd(&stream_);
      started_ = false;
    }
  }

  bz_stream stream_{};
  bool started_ = false;
};

}  // namespace

std::unique_ptr<MemberDecoder> bzip2Decoder() {
  return std::make_unique<Bzip2Decoder>();
}

}  // namespace skarvel
