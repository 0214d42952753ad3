#include "platform.hpp"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: the shell API header needs its types.
#include <shellapi.h>

#include <cstring>
#else
#include <filesystem>
#include <system_error>
#endif

namespace skarvel::platform {

namespace {

// The file with its stdio buffering off: the reader and the writers buffer in large blocks of
// their own.
FileHandle unbuffered(std::FILE* file) {
  FileHandle handle(file);
  if (handle) {
    std::setvbuf(handle.get(), nullptr, _IONBF, 0);
  }
  return handle;
}

constexpr char16_t kReplacement = u'\uFFFD';

void appendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The length of the sequence that `lead` starts, 0 for a byte that cannot start one.
std::size_t sequenceLength(unsigned char lead) {
  if (lead < 0x80) {
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    return 2;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    return 4;
  }
  return 0;
}

}  // namespace

std::u16string utf16FromUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = sequenceLength(lead);
    bool valid = length != 0 && i + length <= utf8.size();
    char32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3Fu);
    }
    // Overlong forms and code points beyond Unicode are malformed; a surrogate in its
    // three-byte form is kept (WTF-8).
    valid = valid && !(length == 3 && code < 0x800) &&
            !(length == 4 && (code < 0x10000 || code > 0x10FFFF));
    if (!valid) {
      out += kReplacement;
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
    i += length;
  }
  return out;
}

std::string utf8FromUtf16(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t code = utf16[i];
    const bool high = code >= 0xD800 && code <= 0xDBFF;
    if (high && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (utf16[i + 1] - 0xDC00u);
      ++i;
    }
    appendUtf8(out, code);
  }
  return out;
}

void FileCloser::operator()(std::FILE* file) const noexcept {
  if (file != nullptr) {
    std::fclose(file);
  }
}

#ifdef _WIN32

namespace {

std::wstring wideFromUtf8(std::string_view utf8) {
  const std::u16string utf16 = utf16FromUtf8(utf8);
  return std::wstring(utf16.begin(), utf16.end());
}

std::string utf8FromWide(const wchar_t* wide) {
  std::u16string utf16;
  for (; *wide != L'\0'; ++wide) {
    utf16 += static_cast<char16_t>(*wide);
  }
  return utf8FromUtf16(utf16);
}

// The name as the wide file API takes it. A path too long for the classic limit of MAX_PATH
// characters is made absolute and given the "\\?\" prefix, which lifts the limit.
std::wstring fileApiPath(const std::string& name) {
  std::wstring path = wideFromUtf8(name);
  if (path.size() < MAX_PATH - 12 || path.starts_with(L"\\\\?\\")) {
    return path;
  }
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) {
    return path;
  }
  std::wstring full(size, L'\0');
  const DWORD written = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (written == 0 || written >= size) {
    return path;
  }
  full.resize(written);
  if (full.starts_with(L"\\\\")) {
    return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share\...
  }
  return L"\\\\?\\" + full;
}

// What tells files apart on Windows: the volume and the file's number on it.
struct FileId {
  FILE_ID_INFO id;
  bool valid;
};

FileId fileIdOf(const std::string& name) {
  FileId result{};
  // No access asked for: only the identity is read, and no sharing mode of another process
  // stands in the way. Links are followed, directories open too.
  const HANDLE handle = CreateFileW(fileApiPath(name).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return result;
  }
  if (GetFileInformationByHandleEx(handle, FileIdInfo, &result.id, sizeof result.id)) {
    result.valid = true;
  } else {
    // Before Windows 8 and on some file systems: the 64-bit file index.
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(handle, &info)) {
      result.id.VolumeSerialNumber = info.dwVolumeSerialNumber;
      const DWORD parts[2] = {info.nFileIndexLow, info.nFileIndexHigh};
      static_assert(sizeof parts <= sizeof result.id.FileId.Identifier);
      std::memcpy(result.id.FileId.Identifier, parts, sizeof parts);
      result.valid = true;
    }
  }
  CloseHandle(handle);
  return result;
}

}  // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    return std::vector<std::string>(argv, argv + argc);
  }
  std::vector<std::string> args;
  args.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    args.push_back(utf8FromWide(wide[i]));
  }
  LocalFree(wide);
  return args;
}

FileHandle openForReading(const std::string& name) {
  const std::wstring path = fileApiPath(name);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return nullptr;
  }
  return unbuffered(_wfopen(path.c_str(), L"rb"));
}

FileHandle createForWriting(const std::string& name) {
  return unbuffered(_wfopen(fileApiPath(name).c_str(), L"w"));
}

bool sameFile(const std::string& a, const std::string& b) {
  if (a == b) {
    return true;
  }
  const FileId first = fileIdOf(a);
  if (!first.valid) {
    return false;
  }
  const FileId second = fileIdOf(b);
  return second.valid && first.id.VolumeSerialNumber == second.id.VolumeSerialNumber &&
         std::memcmp(first.id.FileId.Identifier, second.id.FileId.Identifier,
                     sizeof first.id.FileId.Identifier) == 0;
}

std::string nameInText(std::string_view name) {
  const UINT codePage = GetACP();
  if (codePage == CP_UTF8 || name.empty()) {
    return std::string(name);
  }
  const std::wstring wide = wideFromUtf8(name);
  const int wideLength = static_cast<int>(wide.size());
  const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength,
                                       nullptr, 0, "?", nullptr);
  if (size <= 0) {
    return std::string(name);
  }
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, text.data(), size,
                      "?", nullptr);
  return text;
}

#else

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

FileHandle openForReading(const std::string& name) {
  std::error_code error;
  if (std::filesystem::is_directory(name, error)) {
    return nullptr;
  }
  return unbuffered(std::fopen(name.c_str(), "rb"));
}

FileHandle createForWriting(const std::string& name) {
  return unbuffered(std::fopen(name.c_str(), "w"));
}

bool sameFile(const std::string& a, const std::string& b) {
  if (a == b) {
    return true;
  }
  std::error_code error;
  const bool same = std::filesystem::equivalent(a, b, error);
  return !error && same;
}

std::string nameInText(std::string_view name) {
  return std::string(name);
}

#endif

}  // namespace skarvel::platform
