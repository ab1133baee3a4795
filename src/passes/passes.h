// The context passes and the order they run in, for both conversion roads.
// One pass, the separable compound, looks at token texts alone and runs
// before any token is read; its changes are overrides that take the place of
// the lookup. One, the context readings, runs right after the lookup: it
// proposes readings that the roads keep only where they are among the
// token's candidates. The others run after that, in the order of
// kContextPasses; adding a pass is one row there.
//
// Reach: a change a pass makes at token t may depend on the texts of the
// tokens within `reach` places of t and on t's own reading, nothing else.
// Chained passes then still reach no further than the farthest of them, so a
// long text read window by window needs that many tokens of context on
// either side of a window (kPassReach).
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "labels.h"
#include "passes/aa_dei_sandhi.h"
#include "passes/address_sandhi.h"
#include "passes/classifier_reduplication.h"
#include "passes/context_readings.h"
#include "passes/reading_changes.h"
#include "passes/separable_compound.h"
#include "pipeline_data.h"
#include "unicode.h"

namespace quillet {

// What every pass after the lookup is given: the Pipeline (for the tables
// some passes read), the token texts and their current readings.
using ContextPassFn = ReadingChanges (*)(const Pipeline&, std::span<const std::string_view> tokens,
                                         std::span<const std::string_view> readings);

// The token patterns the passes after the lookup look for. A pass changes
// nothing in tokens that lack any of its patterns, and most texts have none
// of them, so one walk finds which patterns the tokens hold and a pass is
// run only when they hold all of its own.
enum PassTrigger : unsigned {
  kSirTitleToken = 1,      // a token is_sir_title
  kDeiSuffixToken = 2,     // a token is_dei_suffix
  kRepeatedCodePoint = 4,  // a token is one code point, and so is the next, the same
};

inline unsigned pass_triggers(std::span<const std::string_view> tokens) {
  if (tokens.empty()) return 0;
  unsigned found = 0;
  for (auto t = tokens.begin(), last = tokens.end() - 1;; ++t) {
    if (is_sir_title(*t)) found |= kSirTitleToken;
    if (is_dei_suffix(*t)) found |= kDeiSuffixToken;
    if (t == last) return found;
    if (is_same_code_point(*t, t[1])) found |= kRepeatedCodePoint;
  }
}

struct ContextPass {
  std::string_view source;  // the label a token this pass changes gets
  std::size_t reach;        // see the head of this file
  // False: the pass reads the readings the pass before it read, not that
  // pass's changes, which are applied after it (so its own changes win
  // where both change a token).
  bool reads_previous_changes;
  unsigned triggers;  // the PassTrigger bits the pass needs all of
  ContextPassFn run;
};

// The pass tables below are constexpr without inline, so each unit has its
// own copy and none is a symbol shared across modules: two builds of the
// engine loaded into one process (as the output comparison loads them) then
// never run each other's passes.

// The separable-compound pass, run on the token texts before the lookup.
struct OverridePass {
  std::string_view source;
  std::size_t reach;
  ReadingChanges (*run)(const Pipeline&, std::span<const std::string_view> tokens);
};

constexpr OverridePass kOverridePass = {
    label::kSeparableCompound, 2,
    [](const Pipeline& p, std::span<const std::string_view> tokens) {
      return separable_compounds(tokens, p.separable);
    }};

// The context-readings pass, run on the token texts right after the lookup,
// before kContextPasses (which so keep the last word). Its proposals choose
// among a token's candidates: the token keeps its source and is "ranked".
struct ChoicePass {
  std::size_t reach;
  ReadingChanges (*run)(const Pipeline&, std::span<const std::string_view> tokens);
};

constexpr ChoicePass kChoicePass = {
    kContextReadingsReach, [](const Pipeline& p, std::span<const std::string_view> tokens) {
      return context_readings(tokens, p.context_readings, p.context_targets,
                              p.context_readings_keys);
    }};

// Classifier reduplication reads the readings AA-dei sandhi read. Its
// tone-2 change gives what AA-dei's gives for any token both would change,
// and neither changes a tone-2 reading, so the readings come out as if it
// read AA-dei's changes; only the label of such a token depends on it.
constexpr ContextPass kContextPasses[] = {
    {label::kAddressSandhi, 1, true, kSirTitleToken,
     [](const Pipeline&, std::span<const std::string_view> tokens,
        std::span<const std::string_view> readings) { return address_sandhi(tokens, readings); }},
    {label::kAaDeiSandhi, 2, true, kDeiSuffixToken | kRepeatedCodePoint,
     [](const Pipeline&, std::span<const std::string_view> tokens,
        std::span<const std::string_view> readings) { return aa_dei_sandhi(tokens, readings); }},
    {label::kClassifierReduplication, 1, false, kRepeatedCodePoint,
     [](const Pipeline& p, std::span<const std::string_view> tokens,
        std::span<const std::string_view> readings) {
       return classifier_reduplication(tokens, readings, p.classifier_words);
     }},
};

// How many tokens of context a window needs on either side.
inline constexpr std::size_t kPassReach = [] {
  std::size_t reach = std::max(kOverridePass.reach, kChoicePass.reach);
  for (const ContextPass& pass : kContextPasses) reach = std::max(reach, pass.reach);
  return reach;
}();

// Runs kContextPasses in order over `readings` (one per token). Each pass's
// changes go to `apply(changes, pass)`, which must also set `readings` to
// the new readings it records, before the next pass that reads them runs.
template <class Apply>
void run_context_passes(const Pipeline& p, std::span<const std::string_view> tokens,
                        std::span<std::string_view> readings, Apply&& apply) {
  const unsigned found = pass_triggers(tokens);
  // Most texts hold no pass's patterns: nothing to run, nor to apply.
  if (std::none_of(
          std::begin(kContextPasses), std::end(kContextPasses),
          [found](const ContextPass& pass) { return (found & pass.triggers) == pass.triggers; })) {
    return;
  }
  ReadingChanges held;
  const ContextPass* held_by = nullptr;
  for (const ContextPass& pass : kContextPasses) {
    if (held_by && pass.reads_previous_changes) {
      apply(std::move(held), *held_by);
      held_by = nullptr;
    }
    ReadingChanges changes;
    if ((found & pass.triggers) == pass.triggers) changes = pass.run(p, tokens, readings);
    if (held_by) apply(std::move(held), *held_by);
    held = std::move(changes);
    held_by = &pass;
  }
  if (held_by) apply(std::move(held), *held_by);
}

}  // namespace quillet
