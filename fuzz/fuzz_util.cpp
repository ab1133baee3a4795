// Input reading, text expansion and in-memory scratch files for the fuzz targets.
#include "fuzz_util.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "unicode.h"

namespace quillet::fuzz {

std::uint8_t InputReader::byte() {
  if (data_.empty()) return 0;
  const auto b = static_cast<std::uint8_t>(data_[0]);
  data_.remove_prefix(1);
  return b;
}

std::string_view InputReader::bytes(std::size_t n) {
  const std::string_view out = data_.substr(0, n);
  data_.remove_prefix(out.size());
  return out;
}

std::string_view InputReader::field() { return bytes(byte()); }

std::string_view InputReader::blob() {
  const std::size_t lo = byte();
  const std::size_t hi = byte();
  return bytes(lo | hi << 8);
}

std::string_view InputReader::rest() { return bytes(data_.size()); }

InputWriter& InputWriter::byte(std::uint8_t b) {
  out_.push_back(static_cast<char>(b));
  return *this;
}

InputWriter& InputWriter::field(std::string_view s) {
  s = s.substr(0, 255);
  byte(static_cast<std::uint8_t>(s.size()));
  out_ += s;
  return *this;
}

InputWriter& InputWriter::blob(std::string_view s) {
  s = s.substr(0, 65535);
  byte(static_cast<std::uint8_t>(s.size() & 0xFF));
  byte(static_cast<std::uint8_t>(s.size() >> 8));
  out_ += s;
  return *this;
}

InputWriter& InputWriter::raw(std::string_view s) {
  out_ += s;
  return *this;
}

std::string map_to_alphabet(std::string_view raw, const std::vector<std::string_view>& alphabet) {
  std::string out;
  for (char c : raw) out += alphabet[static_cast<unsigned char>(c) % alphabet.size()];
  return out;
}

std::string expand_text(std::string_view raw, const std::vector<std::string_view>& alphabet) {
  if (is_valid_utf8(raw)) return std::string(raw);
  return map_to_alphabet(raw, alphabet);
}

ScratchFile::ScratchFile() {
  fd_ = ::memfd_create("quillet-fuzz", MFD_CLOEXEC);
  if (fd_ < 0) fail("memfd_create failed", "");
  path_ = "/proc/self/fd/" + std::to_string(fd_);
}

ScratchFile::~ScratchFile() {
  if (fd_ >= 0) ::close(fd_);
}

void ScratchFile::write(std::string_view bytes) {
  if (::ftruncate(fd_, 0) != 0) fail("ftruncate failed", path_);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                               static_cast<off_t>(done));
    if (n <= 0) fail("pwrite failed", path_);
    done += static_cast<std::size_t>(n);
  }
}

ScratchDir::ScratchDir() {
  std::string base = "/dev/shm";
  if (!std::filesystem::is_directory(base)) {
    const char* tmp = std::getenv("TMPDIR");
    base = tmp && *tmp ? tmp : "/tmp";
  }
  std::string templ = base + "/quillet-fuzz-XXXXXX";
  if (!::mkdtemp(templ.data())) fail("mkdtemp failed", templ);
  path_ = templ;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void ScratchDir::put(std::string_view name, std::string_view bytes) const {
  const std::string path = path_ + "/" + std::string(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) fail("cannot write", path);
}

void fail(std::string_view what, std::string_view detail) {
  std::fprintf(stderr, "FUZZ CHECK FAILED: %.*s\n%.*s\n", static_cast<int>(what.size()),
               what.data(), static_cast<int>(detail.size()), detail.data());
  std::abort();
}

std::string escaped(std::string_view s) {
  static const char kHex[] = "0123456789abcdef";
  // Well-formed text keeps its characters readable; only controls are escaped.
  const bool readable = is_valid_utf8(s);
  std::string out;
  for (char ch : s) {
    const auto b = static_cast<unsigned char>(ch);
    if ((b >= 0x20 && b != 0x7F && b != '\\') && (b < 0x80 || readable)) {
      out.push_back(ch);
    } else {
      out += "\\x";
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 15]);
    }
  }
  return out;
}

}  // namespace quillet::fuzz
