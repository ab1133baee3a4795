// Where a Pipeline loads from when the caller names no data directory: a
// "data" entry beside the running executable, else "data" under the working
// directory.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// The "data" entry beside the executable at `exe_path`: its parent directory
// joined with "data" ("/usr/bin/python3" -> "/usr/bin/data"); "./data" when
// the path has no parent (empty, a bare name, or the root itself).
std::string data_dir_beside(std::string_view exe_path);

// The default data directory, resolved afresh on every call: data_dir_beside
// the target of /proc/self/exe (the empty path when unreadable) if that
// entry exists (a file counts too; symbolic links are followed), else the
// relative path "data". Thread-safe; never fails.
std::string default_data_dir();

}  // namespace quillet
