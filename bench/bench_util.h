// Shared benchmark fixtures: a full-size generated data directory, built once
// per process with the project's writer.
#pragma once

#include <string>
#include <vector>

namespace quillet::bench {

// Path of a data directory holding word.bin with `word_count` generated
// words of 2 to 6 CJK characters (plus every single character of the pool,
// so the character dictionary is complete) and char.bin. Built under the
// system temp directory the first time it is asked for, then reused.
const std::string& generated_data_dir(std::size_t word_count = 400000);

// A long text of CJK characters drawn from the same pool, `chars` code points.
std::string generated_cjk_text(std::size_t chars, unsigned seed = 1);

// The words written into the generated word.bin, for lookups that must hit.
const std::vector<std::string>& generated_words(std::size_t word_count = 400000);

}  // namespace quillet::bench
