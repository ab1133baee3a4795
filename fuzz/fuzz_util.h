// Helpers shared by the fuzz targets and their seed generator: a structured
// reader over the fuzzer's bytes (and the writer that builds seeds in the same
// format), text expansion into small alphabets, and scratch files in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::fuzz {

// Reads the fuzzer's input front to back. Every read succeeds: past the end it
// yields zero bytes and empty views, so any input is a complete record.
// Views point into the input and live as long as it does.
class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size)
      : data_(reinterpret_cast<const char*>(data), size) {}

  bool empty() const { return data_.empty(); }
  std::uint8_t byte();
  // Up to n bytes.
  std::string_view bytes(std::size_t n);
  // A field of up to 255 bytes: one length byte, then the bytes.
  std::string_view field();
  // A blob of up to 65,535 bytes: a little-endian 16-bit length, then the bytes.
  std::string_view blob();
  // Everything not yet read.
  std::string_view rest();

 private:
  std::string_view data_;
};

// Builds inputs that InputReader reads back field by field (seed generation).
class InputWriter {
 public:
  InputWriter& byte(std::uint8_t b);
  InputWriter& field(std::string_view s);  // s is cut to 255 bytes
  InputWriter& blob(std::string_view s);   // s is cut to 65,535 bytes
  InputWriter& raw(std::string_view s);
  const std::string& bytes() const { return out_; }

 private:
  std::string out_;
};

// Valid UTF-8 is returned as it stands; anything else is expanded byte by byte
// into `alphabet` (each byte picks alphabet[b % size]). Random bytes, which are
// rarely valid UTF-8, thus turn into text made of a few chosen pieces, so that
// dictionary keys and texts keep meeting each other. `alphabet` is non-empty.
std::string expand_text(std::string_view raw, const std::vector<std::string_view>& alphabet);

// Each byte picks one alphabet piece, whatever the bytes are.
std::string map_to_alphabet(std::string_view raw, const std::vector<std::string_view>& alphabet);

// An anonymous in-memory file (memfd) that the fuzz target rewrites for every
// input and opens through path(). One per process; aborts if it cannot be made.
class ScratchFile {
 public:
  ScratchFile();
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  // Replaces the whole content with `bytes`; aborts on an I/O error.
  void write(std::string_view bytes);
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

// A private directory under /dev/shm (or $TMPDIR, or /tmp) removed with its
// files when the object goes. put() aborts on an I/O error.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  // Writes the file `name` below the directory (the object itself is unchanged).
  void put(std::string_view name, std::string_view bytes) const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Prints `what` and the detail to stderr and aborts, so libFuzzer records the
// input as a crash.
[[noreturn]] void fail(std::string_view what, std::string_view detail);

// `s` for failure messages: control bytes and backslashes written as \xNN, and
// so is every byte above 0x7F unless `s` is valid UTF-8.
std::string escaped(std::string_view s);

}  // namespace quillet::fuzz
