// The context-readings pass.
#include "passes/context_readings.h"

#include <algorithm>
#include <cstdint>

#include "unicode.h"

namespace quillet {
namespace {

constexpr std::string_view kEndClass = "end";

// True when the place `at` of `tokens` (which may lie outside them) is the
// edge of a clause: no token, or a punctuation token.
bool is_clause_edge(std::span<const std::string_view> tokens, std::size_t at) {
  if (at >= tokens.size()) return true;
  const std::string_view t = tokens[at];
  if (contains_cjk(t)) return false;
  for (char c : t) {
    if (!is_ascii_alnum(static_cast<unsigned char>(c))) return true;
  }
  return false;
}

// Calls `visit(piece)` for the pieces of `list` cut at spaces.
template <class Visit>
void for_each_piece(std::string_view list, Visit&& visit) {
  while (!list.empty()) {
    const std::size_t space = list.find(' ');
    visit(list.substr(0, space));
    if (space == std::string_view::npos) return;
    list.remove_prefix(space + 1);
  }
}

// A byte from a text's length and last two bytes: for the ideographs, which
// differ in their last bytes, different for most pairs.
unsigned signature(std::string_view t) {
  const auto byte = [&](std::size_t back) {
    return t.size() > back ? static_cast<unsigned char>(t[t.size() - 1 - back]) : 0u;
  };
  return (byte(0) ^ (byte(1) << 3) ^ static_cast<unsigned>(t.size())) & 0xFFu;
}

// The listed target `token` is, or nullptr.
const ContextTarget* listed_target(const ContextTargets& targets, std::string_view token) {
  const unsigned sig = signature(token);
  for (std::size_t k = targets.by_signature[sig]; k < targets.by_signature[sig + 1]; ++k) {
    if (targets.targets[k].text == token) return &targets.targets[k];
  }
  return nullptr;
}

// A target's rules are tried only for the kinds its "=" value names. Most
// keys tried are not in the file: `keys` turns most of them away before the
// search.
class RuleSearch {
 public:
  RuleSearch(const DictFile& rules, const KeyFilter& keys) : rules_(rules), keys_(keys) {}

  // The value of "=" T: the kinds of rule target T has, or nothing.
  std::optional<std::string_view> kinds_of(std::string_view target) {
    key_.assign(1, '=');  // not assign("="): g++ 12 -O3 warns -Wrestrict falsely
    key_.append(target);
    return get_key();
  }

  // The reading the rules give tokens[i], a target whose "=" value is `kinds`,
  // or nothing.
  std::optional<std::string_view> reading_for(std::span<const std::string_view> tokens,
                                              std::size_t i, std::string_view kinds) {
    const std::string_view target = tokens[i];
    // `kinds` is a few letters: a loop here costs less than a call to memchr.
    const auto has = [&](char kind) {
      if (kinds.empty()) return true;
      for (const char k : kinds) {
        if (k == kind) return true;
      }
      return false;
    };
    // A place before the first token is written as tokens.size(): outside
    // the span either way, which is_clause_edge reads as the text's edge.
    const std::size_t left = i > 0 ? i - 1 : tokens.size();
    const std::size_t right = i + 1;
    if (has('l') && left < tokens.size()) {
      if (auto found = rule(target, " <", tokens[left])) return found;
    }
    if (has('r') && right < tokens.size()) {
      if (auto found = rule(target, " >", tokens[right])) return found;
    }
    if (has('L')) {
      if (auto found = by_class(tokens, target, " <@", left)) return found;
    }
    if (has('R')) return by_class(tokens, target, " >@", right);
    return std::nullopt;
  }

 private:
  std::optional<std::string_view> rule(std::string_view target, std::string_view side,
                                       std::string_view neighbour) {
    key_.assign(target);
    key_.append(side);
    key_.append(neighbour);
    return get_key();
  }

  // The value of the key in `key_`, or nothing.
  std::optional<std::string_view> get_key() const {
    if (!keys_.might_hold(key_)) return std::nullopt;
    return rules_.get(key_);
  }

  // The first rule for the classes of the neighbour at `at` (its stored
  // classes in order, then "end" when it applies), or nothing.
  std::optional<std::string_view> by_class(std::span<const std::string_view> tokens,
                                           std::string_view target, std::string_view side,
                                           std::size_t at) {
    if (at < tokens.size()) {
      key_.assign(1, '@');
      key_.append(tokens[at]);
      if (const auto classes = get_key()) {
        // `classes` views the mapping, so `key_` can be reused while walking it.
        std::string_view rest = *classes;
        while (!rest.empty()) {
          const std::size_t space = rest.find(' ');
          const std::string_view name = rest.substr(0, space);
          rest = space == std::string_view::npos ? std::string_view{} : rest.substr(space + 1);
          if (name.empty()) continue;
          if (auto found = rule(target, side, name)) return found;
        }
      }
    }
    if (is_clause_edge(tokens, at)) return rule(target, side, kEndClass);
    return std::nullopt;
  }

  const DictFile& rules_;
  const KeyFilter& keys_;
  std::string key_;
};

}  // namespace

ContextTargets list_context_targets(const std::optional<DictFile>& rules) {
  ContextTargets out;
  if (!rules) return out;
  const auto list = rules->get("=");
  if (!list || list->size() > kMaxTargetList) return out;
  out.listed = true;
  const KeyFilter every_key;  // read once: not worth a filter
  RuleSearch search(*rules, every_key);
  for_each_piece(*list, [&](std::string_view piece) {
    if (piece.empty()) return;
    // A target without its "=" entry has no rule to try.
    if (const auto kinds = search.kinds_of(piece)) {
      out.targets.push_back({piece, *kinds});
      out.ends_target[static_cast<unsigned char>(piece.back())] = true;
    }
  });
  static_assert(kMaxTargetList < 0xFFFF, "target offsets are 16 bits");
  std::stable_sort(out.targets.begin(), out.targets.end(),
                   [](const ContextTarget& a, const ContextTarget& b) {
                     return signature(a.text) < signature(b.text);
                   });
  std::size_t k = 0;
  for (unsigned sig = 0; sig < 256; ++sig) {
    out.by_signature[sig] = static_cast<std::uint16_t>(k);
    while (k < out.targets.size() && signature(out.targets[k].text) == sig) ++k;
  }
  out.by_signature[256] = static_cast<std::uint16_t>(k);
  return out;
}

ReadingChanges context_readings(std::span<const std::string_view> tokens,
                                const std::optional<DictFile>& rules, const ContextTargets& targets,
                                const KeyFilter& keys) {
  ReadingChanges changes;
  if (!rules || rules->entry_count() == 0 || (targets.listed && targets.targets.empty())) {
    return changes;
  }
  RuleSearch search(*rules, keys);
  const auto propose = [&](std::size_t i, std::string_view kinds) {
    if (auto found = search.reading_for(tokens, i, kinds)) changes.set(i, std::string(*found));
  };
  if (!targets.listed) {
    for (std::size_t i = 0; i < tokens.size(); ++i) {
      if (!contains_cjk(tokens[i])) continue;
      if (const auto kinds = search.kinds_of(tokens[i])) propose(i, *kinds);
    }
    return changes;
  }
  // Every token is asked and few are targets: the last byte turns most
  // away with one look-up.
  const bool* const ends_target = targets.ends_target.data();
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::string_view token = tokens[i];
    if (token.empty() || !ends_target[static_cast<unsigned char>(token.back())]) continue;
    const ContextTarget* target = listed_target(targets, token);
    if (target && contains_cjk(token)) propose(i, target->kinds);
  }
  return changes;
}

ReadingChanges context_readings(std::span<const std::string_view> tokens,
                                const std::optional<DictFile>& rules) {
  const KeyFilter keys = rules ? KeyFilter::of(*rules) : KeyFilter();
  return context_readings(tokens, rules, list_context_targets(rules), keys);
}

bool is_candidate(std::string_view candidates, bool is_list, std::string_view reading) {
  if (!is_list) return candidates == reading;
  for (;;) {
    const std::size_t bar = candidates.find('|');
    if (candidates.substr(0, bar) == reading) return true;
    if (bar == std::string_view::npos) return false;
    candidates.remove_prefix(bar + 1);
  }
}

std::optional<std::string> pick_candidate(std::string_view candidates, bool is_list,
                                          std::string_view reading) {
  if (!is_list) return std::nullopt;  // a single reading leaves nothing to choose
  std::string_view rest = candidates;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t bar = rest.find('|');
    const std::string_view piece = rest.substr(0, bar);
    if (piece == reading) {
      if (begin == 0) return std::nullopt;  // already first
      std::string out(reading);
      out += '|';
      out.append(candidates.substr(0, begin - 1));  // the pieces before, without the last bar
      if (bar != std::string_view::npos) out.append(rest.substr(bar));
      return out;
    }
    if (bar == std::string_view::npos) return std::nullopt;
    begin += bar + 1;
    rest = rest.substr(bar + 1);
  }
}

}  // namespace quillet
