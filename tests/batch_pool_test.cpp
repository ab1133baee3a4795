// Tests of the work-stealing pool and parallel_ranges: coverage of every
// index exactly once, results in place, concurrent callers, and many batch
// conversions of one Pipeline against single-thread results.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "pool/batch_pool.h"
#include "pool/processor_count.h"
#include "pipeline.h"
#include "test_util.h"

namespace quillet {
namespace {

// Runs parallel_ranges over n items and checks every index was visited once
// and only by ranges inside [0, n).
void expect_each_once(BatchPool& pool, std::size_t n) {
  std::vector<std::atomic<int>> hits(n);
  std::atomic<bool> out_of_range{false};
  parallel_ranges(pool, n, [&](std::size_t lo, std::size_t hi) {
    if (lo >= hi || hi > n) out_of_range = true;
    for (std::size_t i = lo; i < hi && i < n; ++i) hits[i].fetch_add(1);
  });
  EXPECT_FALSE(out_of_range) << "threads=" << pool.thread_count() << " n=" << n;
  for (std::size_t i = 0; i < n; ++i) {
    ASSERT_EQ(hits[i].load(), 1) << "threads=" << pool.thread_count() << " n=" << n << " i=" << i;
  }
}

TEST(BatchPool, EveryItemProcessedExactlyOnce) {
  static const unsigned kThreads[] = {1, 2, 3, 8};
  static const std::size_t kSizes[] = {0, 1, 2, 3, 5, 64, 1000, 4097};
  for (unsigned t : kThreads) {
    BatchPool pool(t);
    EXPECT_EQ(pool.thread_count(), t);
    for (std::size_t n : kSizes) expect_each_once(pool, n);
  }
}

TEST(BatchPool, ZeroThreadsMeansOne) {
  BatchPool pool(0);
  EXPECT_EQ(pool.thread_count(), 1u);
  expect_each_once(pool, 100);
}

TEST(BatchPool, SmallInputsStayOnCallingThread) {
  BatchPool pool(2);
  for (std::size_t n : {std::size_t{0}, std::size_t{1}}) {
    std::thread::id seen;
    int calls = 0;
    parallel_ranges(pool, n, [&](std::size_t, std::size_t) {
      seen = std::this_thread::get_id();
      ++calls;
    });
    EXPECT_EQ(calls, static_cast<int>(n)) << "n=" << n;
    if (n == 1) {
      EXPECT_EQ(seen, std::this_thread::get_id());
    }
  }
}

TEST(BatchPool, LongerInputsRunOnWorkersOnly) {
  BatchPool pool(2);
  std::atomic<int> off_pool{0};
  parallel_ranges(pool, 500, [&](std::size_t, std::size_t) {
    if (!pool.on_worker()) off_pool.fetch_add(1);
  });
  EXPECT_EQ(off_pool.load(), 0);
  EXPECT_FALSE(pool.on_worker());
}

TEST(BatchPool, EvenLoadEndsInFewPieces) {
  // With no stealing the budget caps the pieces at 4 * 2^floor(log2 T);
  // stealing may add some, but nowhere near one per item.
  BatchPool pool(2);
  std::atomic<int> pieces{0};
  parallel_ranges(pool, 100000, [&](std::size_t, std::size_t) { pieces.fetch_add(1); });
  EXPECT_GE(pieces.load(), 2);
  EXPECT_LE(pieces.load(), 256);
}

TEST(BatchPool, ResultsLandInInputOrder) {
  BatchPool pool(3);
  const std::size_t n = 10000;
  std::vector<std::size_t> out(n, 0);
  parallel_ranges(pool, n, [&](std::size_t lo, std::size_t hi) {
    for (std::size_t i = lo; i < hi; ++i) out[i] = i * i + 7;
  });
  for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(out[i], i * i + 7) << "i=" << i;
}

TEST(BatchPool, ConcurrentCallersFromManyThreads) {
  BatchPool pool(2);
  std::vector<std::thread> callers;
  std::atomic<int> failures{0};
  for (int c = 0; c < 6; ++c) {
    callers.emplace_back([&, c] {
      for (int round = 0; round < 20; ++round) {
        const std::size_t n = 50 + static_cast<std::size_t>(c * 37 + round * 11);
        std::vector<int> out(n, -1);
        parallel_ranges(pool, n, [&](std::size_t lo, std::size_t hi) {
          for (std::size_t i = lo; i < hi; ++i) out[i] = static_cast<int>(i) + c;
        });
        for (std::size_t i = 0; i < n; ++i) {
          if (out[i] != static_cast<int>(i) + c) failures.fetch_add(1);
        }
      }
    });
  }
  for (auto& t : callers) t.join();
  EXPECT_EQ(failures.load(), 0);
}

TEST(BatchPool, NestedCallFromWorkerCompletes) {
  BatchPool pool(2);
  std::atomic<int> inner_total{0};
  parallel_ranges(pool, 8, [&](std::size_t lo, std::size_t hi) {
    for (std::size_t i = lo; i < hi; ++i) {
      parallel_ranges(pool, 10, [&](std::size_t a, std::size_t b) {
        inner_total.fetch_add(static_cast<int>(b - a));
      });
    }
  });
  EXPECT_EQ(inner_total.load(), 80);
}

TEST(BatchPool, SharedPoolIsOneObjectSizedByProcessors) {
  BatchPool& a = shared_batch_pool();
  BatchPool& b = shared_batch_pool();
  EXPECT_EQ(&a, &b);
  EXPECT_EQ(a.thread_count(), available_processors());
  EXPECT_GE(available_processors(), 1u);
  expect_each_once(a, 333);
}

// Random texts over the words of a tiny lexicon, with Latin words, digits,
// punctuation and unknown characters mixed in.
std::vector<std::string> random_texts(std::size_t count, unsigned seed) {
  static const char* const kPieces[] = {"我哋", "去", "食飯", "香港", "銀行", "一", "個",
                                        "hello", " ", "123", "，", "。", "?", "龘", "好"};
  std::mt19937 rng(seed);
  std::uniform_int_distribution<std::size_t> len(0, 12);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kPieces) - 1);
  std::vector<std::string> texts(count);
  for (auto& t : texts) {
    const std::size_t n = len(rng);
    for (std::size_t i = 0; i < n; ++i) t += kPieces[pick(rng)];
  }
  return texts;
}

TEST(BatchPool, ConcurrentBatchConversionsMatchSingleThread) {
  testing::TempDir dir;
  testing::write_dict(dir, "word.bin",
                      {{"我哋", "ngo5 dei6"}, {"食飯", "sik6 faan6"}, {"香港", "hoeng1 gong2"},
                       {"銀行", "ngan4 hong4"}, {"一個", "jat1 go3"}});
  testing::write_dict(dir, "char.bin",
                      {{"我", "ngo5"}, {"哋", "dei6"}, {"去", "heoi3"}, {"食", "sik6"},
                       {"飯", "faan6"}, {"香", "hoeng1"}, {"港", "gong2"}, {"銀", "ngan4"},
                       {"行", "hang4"}, {"一", "jat1"}, {"個", "go3"}, {"好", "hou2"}});
  auto loaded = load_pipeline(dir.path(), UserDict{}, true);
  ASSERT_TRUE(loaded.ok()) << loaded.error();
  const Pipeline& pipeline = loaded.value();

  const auto texts = random_texts(400, 7);
  std::vector<std::string> expected_plain;
  std::vector<std::vector<Token>> expected_detailed;
  for (const auto& t : texts) {
    expected_plain.push_back(convert(pipeline, t));
    expected_detailed.push_back(convert_detailed(pipeline, t));
  }

  BatchPool pool(3);
  std::atomic<int> mismatches{0};
  std::vector<std::thread> callers;
  for (int c = 0; c < 4; ++c) {
    callers.emplace_back([&] {
      for (int round = 0; round < 5; ++round) {
        std::vector<std::string> plain(texts.size());
        std::vector<std::vector<Token>> detailed(texts.size());
        parallel_ranges(pool, texts.size(), [&](std::size_t lo, std::size_t hi) {
          for (std::size_t i = lo; i < hi; ++i) {
            plain[i] = convert(pipeline, texts[i]);
            detailed[i] = convert_detailed(pipeline, texts[i]);
          }
        });
        for (std::size_t i = 0; i < texts.size(); ++i) {
          if (plain[i] != expected_plain[i]) mismatches.fetch_add(1);
          if (detailed[i].size() != expected_detailed[i].size()) {
            mismatches.fetch_add(1);
            continue;
          }
          for (std::size_t k = 0; k < detailed[i].size(); ++k) {
            const Token& a = detailed[i][k];
            const Token& b = expected_detailed[i][k];
            if (a.token != b.token || a.jyutping != b.jyutping || a.lang != b.lang ||
                a.confidence != b.confidence || a.source != b.source) {
              mismatches.fetch_add(1);
            }
          }
        }
      }
    });
  }
  for (auto& t : callers) t.join();
  EXPECT_EQ(mismatches.load(), 0);
  // The lexicon must actually be in use, or the comparison proves little.
  bool any_word_reading = false;
  for (const auto& r : expected_plain) any_word_reading |= r.find("ngo5 dei6") != std::string::npos;
  EXPECT_TRUE(any_word_reading);
}

}  // namespace
}  // namespace quillet
