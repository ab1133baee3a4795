// The normalizer and tokenizer: four passes over the text in fixed order,
// romanized slang (when romanized_slang.bin is loaded), punctuation folding
// (when punc_norm is on), number rewriting (always) and run splitting
// (always), which hands CJK runs to segmentation. The conversions run the
// first three through normalize_text and the last part by part (see
// token_windows.h); tokenize runs all four over the whole text at once.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dict/data_dir.h"
#include "dict/lookup.h"
#include "dict/segment.h"

namespace quillet {

// The ordered token texts of `text`; every token is non-empty and none is
// whitespace. Never fails on valid UTF-8. Safe from any number of threads.
std::vector<std::string> tokenize(const Pipeline& pipeline, std::string_view text);

// As above, and sets `matches` to one WordMatch per token: what segmentation
// already knows of the token's word_dict entry (see segment.h).
std::vector<std::string> tokenize(const Pipeline& pipeline, std::string_view text,
                                  std::vector<WordMatch>& matches);

// The text after the three rewriting passes (romanized slang, punctuation
// folding, numbers): the text that split_runs cuts into tokens.
std::string normalize_text(const Pipeline& pipeline, std::string_view text);

// The same text without a copy where none is needed: a view of `text` itself
// when no pass changes it, else of `storage`, which holds it. The view lives
// as long as both `text` and `storage` stay as they are.
std::string_view normalize_text(const Pipeline& pipeline, std::string_view text,
                                std::string& storage);

// The passes, exposed for tests and benchmarks. Each returns a fresh text and
// reads nothing but its arguments; all are safe from any number of threads.
// The _into forms are what normalize_text chains: false when the pass leaves
// the text as it is (`out` is then untouched), else `out` is set to the
// pass's text and they return true.

// Replaces every maximal run of ASCII letters and digits whose ASCII-lower-cased
// form is a key of `table` by the stored value. A value that is not valid
// UTF-8 counts as a miss (the run stays as written), so the later passes only
// ever see well-formed text.
std::string expand_romanized_slang(const DictFile& table, std::string_view text);
bool expand_romanized_slang_into(const DictFile& table, std::string_view text, std::string& out);

// Folds punctuation: separators to one space, dashes, enumeration commas and
// ellipses to full-width comma and full stop, quotation marks, brackets and
// decorative symbols deleted; every other code point copied.
std::string normalize_punctuation(std::string_view text);
bool normalize_punctuation_into(std::string_view text, std::string& out);

// Cuts `text` into tokens by character class and appends them to `out`: CJK
// runs are segmented against the pipeline's word and user dictionaries,
// ASCII alphanumeric runs are one token each, whitespace is dropped and every
// other code point is a token of its own.
// The tokens are views into `text`. With `matches`, one WordMatch per
// appended token is appended to it.
void split_runs(const Pipeline& pipeline, std::string_view text,
                std::vector<std::string_view>& out, std::vector<WordMatch>* matches = nullptr);

// The same, appending copies, for callers that keep the tokens past `text`.
void split_runs(const Pipeline& pipeline, std::string_view text,
                std::vector<std::string>& out, std::vector<WordMatch>* matches = nullptr);

}  // namespace quillet
