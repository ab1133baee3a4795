// Dictionary file compiler and checker.
#include "dict_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unordered_map>

#include "dict/lookup.h"
#include "unicode.h"

namespace quillet {
namespace {

constexpr std::size_t kMaxField = 65535;

void put_u32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void put_u16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
std::uint32_t get_u32(std::string_view b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}
std::uint16_t get_u16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    static_cast<unsigned char>(b[at + 1]) << 8);
}

}  // namespace

Result<std::vector<DictEntry>> parse_entries(std::string_view text) {
  std::vector<DictEntry> entries;
  std::unordered_map<std::string_view, std::size_t> first_line;
  std::size_t line_no = 0;
  while (!text.empty()) {
    ++line_no;
    const std::size_t nl = text.find('\n');
    const std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    const std::string where = "line " + std::to_string(line_no) + ": ";
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return Error{where + "no tab between key and value"};
    if (!is_valid_utf8(line)) return Error{where + "invalid UTF-8"};
    const std::string_view key = line.substr(0, tab);
    const std::string_view value = line.substr(tab + 1);
    if (key.size() > kMaxField) return Error{where + "key longer than 65535 bytes"};
    if (value.size() > kMaxField) return Error{where + "value longer than 65535 bytes"};
    auto [it, fresh] = first_line.emplace(key, line_no);
    if (!fresh) {
      return Error{where + "duplicate key (first given on line " + std::to_string(it->second) +
                   ")"};
    }
    entries.push_back({std::string(key), std::string(value)});
  }
  return entries;
}

Result<std::string> encode_dict(std::vector<DictEntry> entries) {
  std::sort(entries.begin(), entries.end(), [](const DictEntry& a, const DictEntry& b) {
    return compare_keys(a.key, b.key) < 0;
  });
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].key.size() > kMaxField) return Error{"key longer than 65535 bytes"};
    if (entries[i].value.size() > kMaxField) return Error{"value longer than 65535 bytes"};
    if (i > 0 && entries[i].key == entries[i - 1].key) {
      return Error{"duplicate key: " + entries[i].key};
    }
  }
  if (entries.size() > UINT32_MAX) return Error{"too many entries"};

  std::string pool;
  std::string table;
  table.reserve(entries.size() * 12);
  std::unordered_map<std::string_view, std::uint32_t> value_at;
  // Keys first, then values, so that shared values can point into the pool.
  std::vector<std::uint64_t> key_offsets(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    key_offsets[i] = pool.size();
    pool += entries[i].key;
  }
  std::vector<std::uint64_t> value_offsets(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    auto [it, fresh] = value_at.emplace(entries[i].value, 0);
    if (fresh) {
      if (pool.size() > UINT32_MAX) return Error{"string pool larger than 4 GiB"};
      it->second = static_cast<std::uint32_t>(pool.size());
      pool += entries[i].value;
    }
    value_offsets[i] = it->second;
  }
  if (pool.size() > UINT32_MAX) return Error{"string pool larger than 4 GiB"};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    put_u32(table, static_cast<std::uint32_t>(key_offsets[i]));
    put_u16(table, static_cast<std::uint16_t>(entries[i].key.size()));
    put_u32(table, static_cast<std::uint32_t>(value_offsets[i]));
    put_u16(table, static_cast<std::uint16_t>(entries[i].value.size()));
  }
  std::string out = "CJYP";
  put_u32(out, 1);
  put_u32(out, static_cast<std::uint32_t>(entries.size()));
  put_u32(out, static_cast<std::uint32_t>(pool.size()));
  out += table;
  out += pool;
  return out;
}

Status write_dict_file(const std::string& path, std::vector<DictEntry> entries) {
  auto bytes = encode_dict(std::move(entries));
  if (!bytes.ok()) return Error{bytes.error()};
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return Error{"cannot write " + tmp};
    out.write(bytes.value().data(), static_cast<std::streamsize>(bytes.value().size()));
    out.close();
    if (!out) {
      std::remove(tmp.c_str());
      return Error{"cannot write " + tmp};
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    return Error{"cannot rename " + tmp + " to " + path};
  }
  return std::monostate{};
}

Result<std::vector<DictEntry>> decode_dict(std::string_view b) {
  if (b.size() < 16) return Error{"file too short: " + std::to_string(b.size()) + " bytes"};
  if (b.substr(0, 4) != "CJYP") return Error{"bad magic"};
  if (get_u32(b, 4) != 1) return Error{"unsupported version " + std::to_string(get_u32(b, 4))};
  const std::uint64_t count = get_u32(b, 8);
  const std::uint64_t pool_size = get_u32(b, 12);
  const std::uint64_t pool_at = 16 + 12 * count;
  if (b.size() < pool_at + pool_size) return Error{"entry table and pool exceed the file"};
  std::vector<DictEntry> entries;
  entries.reserve(count);
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::size_t e = 16 + 12 * i;
    const std::uint64_t ko = get_u32(b, e), kl = get_u16(b, e + 4);
    const std::uint64_t vo = get_u32(b, e + 6), vl = get_u16(b, e + 10);
    if (ko + kl > pool_size) return Error{"entry " + std::to_string(i) + ": key outside the pool"};
    if (vo + vl > pool_size) {
      return Error{"entry " + std::to_string(i) + ": value outside the pool"};
    }
    DictEntry entry{std::string(b.substr(pool_at + ko, kl)), std::string(b.substr(pool_at + vo, vl))};
    if (!entries.empty() && compare_keys(entries.back().key, entry.key) >= 0) {
      return Error{"entry " + std::to_string(i) + ": keys not strictly ascending"};
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

Result<std::vector<DictEntry>> read_dict_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Error{"cannot read " + path};
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return decode_dict(bytes);
}

}  // namespace quillet
