#include "compressed_input.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "decoded_stream.hpp"
#include "seeded_random.hpp"

#ifdef SKARVEL_HAVE_ZLIB
#include <zlib.h>
#endif
#ifdef SKARVEL_HAVE_ZSTD
#include <zstd.h>
#endif
#ifdef SKARVEL_HAVE_LZMA
#include <lzma.h>
#endif
#ifdef SKARVEL_HAVE_BZIP2
#include <bzlib.h>
#endif

namespace skarvel {
namespace {

using namespace std::string_view_literals;

// The libraries' encoders, writing one member (a gzip member, a zstd frame, an xz or bzip2 stream)
// with its check.
using Encoder = std::string (*)(const std::string&);

Encoder encoderOf(Compression compression) {
  switch (compression) {
#ifdef SKARVEL_HAVE_ZLIB
    case Compression::gzip:
      return [](const std::string& text) {
        z_stream stream{};
        deflateInit2(&stream, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        std::string out(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        stream.avail_in = static_cast<uInt>(text.size());
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = static_cast<uInt>(out.size());
        deflate(&stream, Z_FINISH);
        out.resize(stream.total_out);
        deflateEnd(&stream);
        return out;
      };
#endif
#ifdef SKARVEL_HAVE_ZSTD
    case Compression::zstd:
      return [](const std::string& text) {
        std::string out(ZSTD_compressBound(text.size()), '\0');
        ZSTD_CCtx* context = ZSTD_createCCtx();
        ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
        out.resize(ZSTD_compress2(context, out.data(), out.size(), text.data(), text.size()));
        ZSTD_freeCCtx(context);
        return out;
      };
#endif
#ifdef SKARVEL_HAVE_LZMA
    case Compression::xz:
      return [](const std::string& text) {
        std::string out(lzma_stream_buffer_bound(text.size()), '\0');
        std::size_t size = 0;
        lzma_easy_buffer_encode(1, LZMA_CHECK_CRC64, nullptr,
                                reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                                reinterpret_cast<std::uint8_t*>(out.data()), &size, out.size());
        out.resize(size);
        return out;
      };
#endif
#ifdef SKARVEL_HAVE_BZIP2
    case Compression::bzip2:
      return [](const std::string& text) {
        auto size = static_cast<unsigned>(text.size() + text.size() / 50 + 600);
        std::string out(size, '\0');
        BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char*>(text.data()),
                                 static_cast<unsigned>(text.size()), 1, 0, 0);
        out.resize(size);
        return out;
      };
#endif
    default:
      return nullptr;
  }
}

// Rows of a model's output, varied enough to take some room compressed.
std::string seriesText(int rows) {
  testing::SeededRandom random(11);
  std::string text = "year month day hour flow\n";
  for (int row = 0; row < rows; ++row) {
    text += "1990 01 01 " + std::to_string(row % 24) + " " + std::to_string(random.below(99999)) +
            "." + std::to_string(random.below(9)) + "\n";
  }
  return text;
}

// All of `stream`, read in pieces of many sizes; its source bytes never fall.
std::string readAll(ByteStream& stream) {
  std::string all;
  std::vector<char> piece(5000);
  std::uint64_t sourceBytes = 0;
  for (std::size_t size = 1;; size = (size * 7 + 3) % piece.size() + 1) {
    const std::size_t got = stream.read(piece.data(), size);
    all.append(piece.data(), got);
    EXPECT_GE(stream.sourceBytes(), sourceBytes);
    sourceBytes = stream.sourceBytes();
    if (got < size) {
      EXPECT_EQ(stream.read(piece.data(), size), 0u) << "after the end";
      return all;
    }
  }
}

// `bytes`, then a read that fails.
class FailingStream final : public ByteStream {
 public:
  explicit FailingStream(std::string_view bytes)
      : size_(bytes.size()), bytes_(memoryStream(bytes)) {}
  std::size_t read(char* into, std::size_t capacity) override {
    return bytes_->read(into, capacity);
  }
  std::optional<ReadError> error() const override {
    return sourceBytes() == size_ ? std::optional(ReadError{EIO, {}}) : std::nullopt;
  }
  std::uint64_t sourceBytes() const override { return bytes_->sourceBytes(); }

 private:
  std::size_t size_;
  std::unique_ptr<ByteStream> bytes_;
};

struct Case {
  const char* name;
  Compression compression;
  std::size_t members;
  std::size_t zeroPadding;  // after the last member
  const char* tool;         // a command that writes the format
};
void PrintTo(const Case& row, std::ostream* out) {
  *out << row.name;
}

// Small reads and buffers, so that members, look-aheads and buffers straddle every boundary.
constexpr DecodeBuffers kSmallBuffers[] = {{12, 1000, 2}, {13, 4093, 3}};

class CompressedFormat : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    if (auto missing = missingDecoder(GetParam().compression)) {
      GTEST_SKIP() << *missing;
    }
    if (encoderOf(GetParam().compression) == nullptr) {
      GTEST_SKIP() << "no " << compressionName(GetParam().compression) << " encoder in this build";
    }
  }

  // `text` in the case's members, the start of the last one in `lastStart`.
  std::string encoded(const std::string& text, std::size_t* lastStart = nullptr) const {
    std::string all;
    const std::size_t members = GetParam().members;
    for (std::size_t member = 0; member < members; ++member) {
      if (lastStart) {
        *lastStart = all.size();
      }
      const std::size_t from = text.size() * member / members;
      const std::size_t to = text.size() * (member + 1) / members;
      all += encoderOf(GetParam().compression)(text.substr(from, to - from));
    }
    return all;
  }

  std::unique_ptr<ByteStream> decoding(std::string_view bytes, const DecodeBuffers& buffers) const {
    return decodedStream(memoryStream(bytes), memberDecoder(GetParam().compression),
                         GetParam().compression, buffers);
  }

  // The error that ends `stream`; what came before it is a start of `text`.
  static ReadError errorOf(std::unique_ptr<ByteStream> stream, const std::string& text) {
    const std::string decoded = readAll(*stream);
    EXPECT_EQ(decoded, text.substr(0, decoded.size()));
    return stream->error().value_or(ReadError{-1, "no error"});
  }
};

TEST_P(CompressedFormat, DecodesToTheOriginalBytes) {
  const std::string text = seriesText(12000);
  const std::string bytes = encoded(text) + std::string(GetParam().zeroPadding, '\0');
  EXPECT_EQ(compressionOf(std::string_view(bytes).substr(0, kMagicBytes)), GetParam().compression);
  const std::unique_ptr<ByteStream> stream =
      decompressed(memoryStream(bytes), GetParam().compression);
  EXPECT_EQ(readAll(*stream), text);
  EXPECT_FALSE(stream->error());
  EXPECT_EQ(stream->sourceBytes(), bytes.size());
  for (const DecodeBuffers& buffers : kSmallBuffers) {
    EXPECT_EQ(readAll(*decoding(bytes, buffers)), text);
    char start[10];
    EXPECT_EQ(decoding(bytes, buffers)->read(start, sizeof start), sizeof start);  // then stops
  }
}

TEST_P(CompressedFormat, EndsWithAnErrorNamingTheCompressedByte) {
  const std::string text = seriesText(3000);
  std::size_t lastStart = 0;
  const std::string bytes = encoded(text, &lastStart);
  const std::string name(compressionName(GetParam().compression));
  for (const DecodeBuffers& buffers : kSmallBuffers) {
    const std::string cut = bytes.substr(0, bytes.size() - 9);
    EXPECT_EQ(errorOf(decoding(cut, buffers), text).description,
              name + " data ends early at compressed byte " + std::to_string(cut.size()));
    const std::string trailed = bytes + "1990 01 02 00 1.5\n";
    EXPECT_EQ(errorOf(decoding(trailed, buffers), text).description,
              "unexpected data after the " + name + " data at compressed byte " +
                  std::to_string(bytes.size()));
    auto failing =
        std::make_unique<FailingStream>(std::string_view(bytes).substr(0, bytes.size() / 2));
    EXPECT_EQ(errorOf(decodedStream(std::move(failing), memberDecoder(GetParam().compression),
                                    GetParam().compression, buffers),
                      text)
                  .errorNumber,
              EIO);
    // Wrong bytes may come out before the check at the member's end finds them.
    std::string corrupt = bytes;
    corrupt[lastStart + (bytes.size() - lastStart) / 2] ^= 0x55;
    const std::unique_ptr<ByteStream> stream = decoding(corrupt, buffers);
    readAll(*stream);
    const ReadError error = stream->error().value_or(ReadError{-1, "no error"});
    EXPECT_EQ(error.errorNumber, 0);
    EXPECT_TRUE(error.description.starts_with("corrupt " + name + " data at compressed byte "))
        << error.description;
  }
}

// What the command-line compressors write: a gzip header with the file's name, pigz's blocks,
// zstd's and xz's own choices of frame and check.
TEST_P(CompressedFormat, DecodesWhatTheCommandLineToolWrites) {
#ifdef _WIN32
  GTEST_SKIP() << "the compressors are Linux programs";
#else
  const std::string text = seriesText(3000);
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() /
      ("skarvel-" + std::string(GetParam().name) + "-" + std::to_string(std::random_device{}()));
  std::ofstream(file, std::ios::binary) << text;
  std::stringstream bytes;
  const int status = std::system(
      (std::string(GetParam().tool) + " " + file.string() + " >" + file.string() + ".z").c_str());
  bytes << std::ifstream(file.string() + ".z", std::ios::binary).rdbuf();
  std::filesystem::remove(file);
  std::filesystem::remove(file.string() + ".z");
  if (status != 0) {
    GTEST_SKIP() << "`" << GetParam().tool << "` did not run: not installed?";
  }
  EXPECT_EQ(readAll(*decompressed(memoryStream(bytes.str()), GetParam().compression)), text);
#endif
}

constexpr Case kCases[] = {
    {"gzip", Compression::gzip, 1, 0, "gzip -c"},
    {"gzipMembers", Compression::gzip, 3, 7, "pigz -c -p 2 -b 32"},
    {"zstdFrames", Compression::zstd, 2, 0, "zstd -q -c"},
    {"xzStreams", Compression::xz, 2, 8, "xz -c"},
    {"bzip2Streams", Compression::bzip2, 2, 0, "bzip2 -c"},
};
INSTANTIATE_TEST_SUITE_P(Formats, CompressedFormat, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(CompressedInput, TellsTheFormatByItsMagicNumberAlone) {
  const struct {
    std::string_view start;
    Compression compression;
  } rows[] = {
      {"\x1f\x8b\x08\x00\x00\x00"sv, Compression::gzip},
      {"\x28\xb5\x2f\xfd\x24\x00"sv, Compression::zstd},
      {"\xfd\x37\x7a\x58\x5a\x00"sv, Compression::xz},
      {"BZh91A", Compression::bzip2},
      {"\x1f\x8b\x09\x00"sv, Compression::none},  // not deflate
      {"\x1f\x8b", Compression::none},
      {"\x28\xb5\x2f\xfe", Compression::none},
      {"\xfd\x37\x7a\x58\x5a\x01"sv, Compression::none},
      {"\xfd\x37\x7a\x58\x5a", Compression::none},
      {"BZh0", Compression::none},
      {"BZh", Compression::none},
      {"BZip2 ", Compression::none},
      {"1990 0", Compression::none},
      {"year m", Compression::none},
      {"", Compression::none},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(compressionOf(row.start), row.compression) << ::testing::PrintToString(row.start);
  }
}

TEST(CompressedInput, AFormatWithoutItsDecoderFailsAtOnceSayingWhy) {
  for (Compression compression :
       {Compression::gzip, Compression::zstd, Compression::xz, Compression::bzip2}) {
    if (const std::optional<std::string> missing = missingDecoder(compression)) {
      const std::unique_ptr<ByteStream> stream = decompressed(memoryStream("x"), compression);
      char byte = 0;
      EXPECT_EQ(stream->read(&byte, 1), 0u);
      EXPECT_EQ(stream->error().value_or(ReadError{}).description, *missing);
    }
  }
  EXPECT_FALSE(missingDecoder(Compression::none));
  const std::unique_ptr<ByteStream> plain = decompressed(memoryStream("1990"), Compression::none);
  EXPECT_EQ(readAll(*plain), "1990");
}

}  // namespace
}  // namespace skarvel
