// Resolution of the default data directory from the executable's location.
#include "python/default_data_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "dict/data_dir.h"

namespace quillet {

std::string data_dir_beside(std::string_view exe_path) {
  while (exe_path.size() > 1 && exe_path.back() == '/') exe_path.remove_suffix(1);
  const std::size_t slash = exe_path.rfind('/');
  if (exe_path.empty() || exe_path == "/" || slash == std::string_view::npos) {
    return join_path(".", "data");
  }
  std::string_view parent = exe_path.substr(0, slash);
  while (parent.size() > 1 && parent.back() == '/') parent.remove_suffix(1);
  if (parent.empty()) parent = "/";
  return join_path(parent, "data");
}

namespace {

std::string executable_path() {
  std::vector<char> buf(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<std::size_t>(n));
    if (buf.size() >= (1u << 20)) return {};
    buf.resize(buf.size() * 2);  // the target may have been cut short
  }
}

}  // namespace

std::string default_data_dir() {
  std::string beside = data_dir_beside(executable_path());
  struct stat st;
  if (::stat(beside.c_str(), &st) == 0) return beside;
  return "data";
}

}  // namespace quillet
