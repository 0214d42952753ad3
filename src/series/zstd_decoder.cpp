// zstd through libzstd.
#include <zstd.h>
#include <zstd_errors.h>

#include <memory>

#include "member_decoder.hpp"

namespace skarvel {

namespace {

struct ContextFree {
  void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};

class ZstdDecoder final : public MemberDecoder {
 public:
  bool restart() override {
    if (!context_) {
      context_.reset(ZSTD_createDCtx());
    }
    return context_ && ZSTD_isError(ZSTD_DCtx_reset(context_.get(), ZSTD_reset_session_only)) == 0;
  }

  Step decode(std::span<const char> input, std::span<char> output) override {
    ZSTD_inBuffer in{input.data(), input.size(), 0};
    ZSTD_outBuffer out{output.data(), output.size(), 0};
    const std::size_t result = ZSTD_decompressStream(context_.get(), &out, &in);
    Step step{in.pos, out.pos, Outcome::decoding};
    if (ZSTD_isError(result) != 0) {
      step.outcome = ZSTD_getErrorCode(result) == ZSTD_error_memory_allocation
                         ? Outcome::outOfMemory
                         : Outcome::corrupt;
    } else if (result == 0) {  // the frame decoded and all of it given out
      step.outcome = Outcome::memberEnd;
    }
    return step;
  }

  bool beginsMember(std::string_view next) const override { return agreesWith(kZstdMagic, next); }

 private:
  std::unique_ptr<ZSTD_DCtx, ContextFree> context_;
};

}  // namespace

std::unique_ptr<MemberDecoder> zstdDecoder() {
  return std::make_unique<ZstdDecoder>();
}

}  // namespace skarvel
