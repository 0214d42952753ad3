// xz through liblzma.
#include <lzma.h>

#include <cstdint>
#include <memory>

#include "member_decoder.hpp"

namespace skarvel {

namespace {

// One xz stream at a time; the stream padding between and after them is zero padding, skipped by
// the decoded stream.
class XzDecoder final : public MemberDecoder {
 public:
  ~XzDecoder() override { lzma_end(&stream_); }

  bool restart() override { return lzma_stream_decoder(&stream_, UINT64_MAX, 0) == LZMA_OK; }

  Step decode(std::span<const char> input, std::span<char> output) override {
    stream_.next_in = reinterpret_cast<const std::uint8_t*>(input.data());
    stream_.avail_in = input.size();
    stream_.next_out = reinterpret_cast<std::uint8_t*>(output.data());
    stream_.avail_out = output.size();
    const int status = lzma_code(&stream_, LZMA_RUN);
    return Step{input.size() - stream_.avail_in, output.size() - stream_.avail_out,
                outcomeOf(status, {LZMA_OK, LZMA_BUF_ERROR}, LZMA_STREAM_END, LZMA_MEM_ERROR)};
  }

  bool beginsMember(std::string_view next) const override { return agreesWith(kXzMagic, next); }
  bool takesZeroPadding() const override { return true; }

 private:
  lzma_stream stream_{};
};

}  // namespace

std::unique_ptr<MemberDecoder> xzDecoder() {
  return std::make_unique<XzDecoder>();
}

}  // namespace skarvel
