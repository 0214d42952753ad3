// gzip through zlib.
#define ZLIB_CONST
#include <zlib.h>

#include <memory>

#include "member_decoder.hpp"

namespace skarvel {

namespace {

class ZlibGzipDecoder final : public MemberDecoder {
 public:
  ~ZlibGzipDecoder() override {
    if (started_) {
      inflateEnd(&stream_);
    }
  }

  bool restart() override {
    if (started_) {
      return inflateReset(&stream_) == Z_OK;
    }
    started_ = inflateInit2(&stream_, 16 + MAX_WBITS) == Z_OK;  // 16: a gzip header and trailer
    return started_;
  }

  Step decode(std::span<const char> input, std::span<char> output) override {
    stream_.next_in = reinterpret_cast<const Bytef*>(input.data());
    stream_.avail_in = clampedSize(input.size());
    stream_.next_out = reinterpret_cast<Bytef*>(output.data());
    stream_.avail_out = clampedSize(output.size());
    const uInt given = stream_.avail_in;
    const uInt room = stream_.avail_out;
    const int status = inflate(&stream_, Z_NO_FLUSH);
    return Step{given - stream_.avail_in, room - stream_.avail_out,
                outcomeOf(status, {Z_OK, Z_BUF_ERROR}, Z_STREAM_END, Z_MEM_ERROR)};
  }

  bool beginsMember(std::string_view next) const override { return agreesWith(kGzipMagic, next); }
  bool takesZeroPadding() const override { return true; }

 private:
  z_stream stream_{};
  bool started_ = false;
};

}  // namespace

std::unique_ptr<MemberDecoder> gzipDecoder() {
  return std::make_unique<ZlibGzipDecoder>();
}

}  // namespace skarvel
