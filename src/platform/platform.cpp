// The part of the platform unit that is the same on every system: the UTF-8 and UTF-16
// conversions, the error texts, the processor facts, and AtomicOutput and OutputSetLock with the
// table of temporary names that the signal handlers clean up. What differs is in platform_posix.cpp
// and platform_win32.cpp, behind platform_detail.hpp.
#include "platform.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>
#include <utility>

#include "platform_detail.hpp"

namespace skarvel::platform {

namespace {

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

FileHandle unbuffered(std::FILE* file) {
  FileHandle handle(file);
  if (handle) {
    std::setvbuf(handle.get(), nullptr, _IONBF, 0);
  }
  return handle;
}

Opened fromFopen(std::FILE* file) {
  const int error = file == nullptr ? errno : 0;
  return {unbuffered(file), error};
}

std::string errorText(int errorNumber) {
  if (errorNumber == 0) {
    return "unknown error";
  }
  return std::strerror(errorNumber);
}

unsigned processorCount() {
  return std::max(1U, std::thread::hardware_concurrency());
}

std::optional<std::uint64_t> regularFileSize(const std::string& name) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(pathOf(name), error)) {
    return std::nullopt;
  }
  const std::uintmax_t size = std::filesystem::file_size(pathOf(name), error);
  if (error) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(size);
}

std::string comparableName(const std::string& name) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(pathOf(name), error);
  const std::filesystem::path path = std::filesystem::weakly_canonical(absolute, error);
  return (error ? absolute : path).lexically_normal().generic_string();
}

std::optional<std::string_view> unnameableInput(const std::string& name) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(pathOf(name), error);
  switch (status.type()) {
    case std::filesystem::file_type::fifo:
      return "the pipe";
    case std::filesystem::file_type::character:
    case std::filesystem::file_type::block:
      return "the device";
    case std::filesystem::file_type::socket:
      return "the socket";
    case std::filesystem::file_type::regular: {
      const std::string absolute =
          std::filesystem::absolute(pathOf(name), error).lexically_normal().generic_string();
      if (absolute.starts_with("/dev/") || absolute.starts_with("/proc/")) {
        return "the system file";
      }
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

int resizeFile(const std::string& name, std::uint64_t size) {
  std::error_code error;
  std::filesystem::resize_file(pathOf(name), size, error);
  return error ? error.default_error_condition().value() : 0;
}

// ----------------------------------------------------------------------------------------------
// Atomic outputs and the signal handlers

namespace {

namespace fs = std::filesystem;

// The names of the temporary files and the lock file that exist, for the signal handlers: a
// fixed table, so a handler neither allocates nor follows a pointer. An entry is filled and
// cleared only while the handled signals are blocked, and a run has at most three outputs and
// one lock.
constexpr std::size_t kTemporarySlots = 8;
constexpr std::size_t kTemporaryNameCapacity = 4096;  // longer names fail to open anyway

struct TemporarySlot {
  volatile std::sig_atomic_t used;
  char name[kTemporaryNameCapacity];
};

TemporarySlot temporaries[kTemporarySlots];

int claimSlot(const std::string& name) {
  if (name.size() >= kTemporaryNameCapacity) {
    return -1;
  }
  for (std::size_t i = 0; i < kTemporarySlots; ++i) {
    if (temporaries[i].used == 0) {
      std::memcpy(temporaries[i].name, name.c_str(), name.size() + 1);
      temporaries[i].used = 1;
      return static_cast<int>(i);
    }
  }
  return -1;
}

// Why `name` finds no entry in the table.
int unclaimedReason(const std::string& name) {
  return name.size() >= kTemporaryNameCapacity ? ENAMETOOLONG : EMFILE;
}

void releaseSlot(int slot) {
  if (slot >= 0) {
    temporaries[static_cast<std::size_t>(slot)].used = 0;
  }
}

// A link chain longer than this is a loop, and is followed no further.
constexpr int kMaxLinkHops = 40;
// Of a long file name, the temporary name keeps this many bytes, so it stays a valid name.
constexpr std::size_t kTemporaryBaseLength = 100;
constexpr int kTemporaryAttempts = 100;

// Where the links of `name` lead, followed one by one and also when the last one dangles; `name`
// itself when it is no link.
fs::path followLinks(const std::string& name) {
  fs::path path = pathOf(name);
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) {
      break;
    }
    const fs::path target = fs::read_symlink(path, error);
    if (error) {
      break;
    }
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return path;
}

// The path in one spelling: absolute, with the links of its existing folders resolved.
fs::path comparable(const fs::path& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  if (error) {
    return path.lexically_normal();
  }
  const fs::path canonical = fs::weakly_canonical(absolute, error);
  return error ? absolute.lexically_normal() : canonical;
}

// "." and the file name of `target`, cut to kTemporaryBaseLength bytes.
std::string hiddenBase(const fs::path& target) {
  const std::string file = nameOf(target.filename());
  return "." + file.substr(0, kTemporaryBaseLength);
}

// ".<file name>.skarvel-tmp-<process id>[-<attempt>]" in the folder of `target`.
std::string temporaryName(const fs::path& target, int attempt) {
  std::string name = hiddenBase(target) + ".skarvel-tmp-" + std::to_string(processId());
  if (attempt > 0) {
    name += "-" + std::to_string(attempt);
  }
  return nameOf(target.parent_path() / pathOf(name));
}

// ".<file name>.skarvel-lock" in the folder of `target`.
std::string lockName(const fs::path& target) {
  return nameOf(target.parent_path() / pathOf(hiddenBase(target) + ".skarvel-lock"));
}

// How often a run waiting for the lock of its outputs looks again.
constexpr auto kLockRetryInterval = std::chrono::milliseconds(2);

}  // namespace

void removeTemporaries() noexcept {
  for (TemporarySlot& slot : temporaries) {
    if (slot.used != 0) {
      removeFile(slot.name);
    }
  }
}

bool sameTarget(const std::string& a, const std::string& b) {
  return sameFile(a, b) || comparable(followLinks(a)) == comparable(followLinks(b));
}

AtomicOutput AtomicOutput::create(const std::string& name, bool text) {
  AtomicOutput output;
  const fs::path target = followLinks(name);
  output.target_ = nameOf(target);
  std::error_code error;
  const fs::file_status status = fs::status(target, error);
  const bool replaces = fs::exists(status);
  if (replaces && fs::is_directory(status)) {
    output.errorNumber_ = EISDIR;
    return output;
  }
  if (replaces && !fs::is_regular_file(status)) {
    Opened opened = text ? createForWriting(name) : createForWritingBytes(name);
    output.file_ = std::move(opened.file);
    output.errorNumber_ = opened.errorNumber;
    return output;
  }
  const HandledSignalsBlocked blocked;
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    std::string temporary = temporaryName(target, attempt);
    const int slot = claimSlot(temporary);
    if (slot < 0) {
      output.errorNumber_ = unclaimedReason(temporary);
      return output;
    }
    Opened created = createExclusive(temporary, text);
    if (created.file) {
      output.file_ = std::move(created.file);
      output.temporary_ = std::move(temporary);
      output.slot_ = slot;
      break;
    }
    output.errorNumber_ = created.errorNumber;
    releaseSlot(slot);
    if (created.errorNumber != EEXIST) {
      return output;
    }
  }
  if (output.file_ && replaces) {
    copyOwnerAndMode(output.file_.get(), output.target_);
  }
  return output;
}

AtomicOutput::AtomicOutput(AtomicOutput&& other) noexcept
    : file_(std::move(other.file_)),
      target_(std::move(other.target_)),
      temporary_(std::exchange(other.temporary_, {})),
      slot_(std::exchange(other.slot_, -1)),
      errorNumber_(other.errorNumber_) {}

AtomicOutput::~AtomicOutput() {
  discard();
}

void AtomicOutput::discard() noexcept {
  file_.reset();
  if (!temporary_.empty()) {
    const HandledSignalsBlocked blocked;
    removeFile(temporary_.c_str());
    releaseSlot(slot_);
    temporary_.clear();
    slot_ = -1;
  }
}

bool AtomicOutput::finish() {
  std::FILE* file = file_.release();
  if (file == nullptr) {
    return false;
  }
  // Each step runs even after one failed; the error kept is that of the last failure.
  bool ok = true;
  if (std::fflush(file) != 0) {
    ok = false;
    errorNumber_ = errno;
  }
  if (const int synced = temporary_.empty() ? 0 : syncToDisk(file); synced != 0) {
    ok = false;
    errorNumber_ = synced;
  }
  if (std::fclose(file) != 0) {
    ok = false;
    errorNumber_ = errno;
  }
  return ok;
}

bool AtomicOutput::commit() {
  if (temporary_.empty()) {
    return true;
  }
  const HandledSignalsBlocked blocked;
  const int error = replaceFile(temporary_, target_);
  if (error != 0) {
    removeFile(temporary_.c_str());
    errorNumber_ = error;
  }
  releaseSlot(slot_);
  temporary_.clear();
  slot_ = -1;
  return error == 0;
}

OutputSetLock OutputSetLock::take(const std::string& output, std::chrono::milliseconds patience) {
  OutputSetLock lock;
  lock.name_ = lockName(followLinks(output));
  const auto deadline = std::chrono::steady_clock::now() + patience;
  Opened locked = tryLockFile(lock.name_);
  while (locked.errorNumber == EBUSY && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kLockRetryInterval);
    locked = tryLockFile(lock.name_);
  }
  if (!locked.file) {
    lock.errorNumber_ = locked.errorNumber;
    return lock;
  }
  // Without an entry in the table (a name too long to keep) a signal leaves the lock file
  // behind, which the next run takes over.
  const HandledSignalsBlocked blocked;
  lock.slot_ = claimSlot(lock.name_);
  lock.file_ = std::move(locked.file);
  return lock;
}

OutputSetLock::OutputSetLock(OutputSetLock&& other) noexcept
    : file_(std::move(other.file_)),
      name_(std::move(other.name_)),
      slot_(std::exchange(other.slot_, -1)),
      errorNumber_(other.errorNumber_) {}

OutputSetLock::~OutputSetLock() {
  if (file_) {
    const HandledSignalsBlocked blocked;
    unlockFile(std::move(file_), name_);
    releaseSlot(slot_);
  }
}

}  // namespace skarvel::platform
