// The composite reads (several tokens, a run up to a token, an integer with its tail) must do
// exactly what the plain reads they stand for do: same results, same position, same flags.
// Their fast paths work on 64-byte windows, so the texts are long enough to cross windows, and
// the cases put tokens on window edges and against the end of the bytes.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "io/token_reader.h"
#include "support/buffer_of.h"

namespace sceneio {
namespace {

using testing::BufferOf;

// Two readers over the same bytes: one takes the composite reads, the other the plain ones.
struct Pair {
  explicit Pair(std::string_view text) : file(BufferOf(text)), fast(file), plain(file) {}
  void ExpectSameState() const {
    EXPECT_EQ(fast.Position(), plain.Position());
    EXPECT_EQ(fast.Ended(), plain.Ended());
    EXPECT_EQ(fast.Failed(), plain.Failed());
  }
  FileBuffer file;
  TokenReader fast;
  TokenReader plain;
};

std::string_view PlainSkipTokens(TokenReader& reader, int n) {
  std::string_view token;
  for (int i = 0; i < n; ++i) {
    token = reader.Token();
    if (token.empty()) break;
  }
  return token;
}

bool PlainSkipPast(TokenReader& reader, std::string_view stop, int64_t& delivered) {
  delivered = 0;
  for (;;) {
    const std::string_view token = reader.Token();
    if (token.empty()) return false;
    ++delivered;
    if (token == stop) return true;
  }
}

void ExpectMarksWherePlainReadsStand(const FileBuffer& file, int32_t from,
                                     const std::vector<TokenMark>& marks) {
  TokenReader check(file);
  check.Seek(from);
  int64_t read = 0;
  for (const TokenMark& mark : marks) {
    for (; read < mark.tokens; ++read) ASSERT_FALSE(check.Token().empty());
    EXPECT_TRUE(check.Good());
    EXPECT_EQ(check.Position(), mark.offset) << "after " << mark.tokens << " tokens";
  }
}

// One step of a scripted or random sequence, applied to both readers and compared.
void Step(Pair& pair, int kind, int n) {
  switch (kind) {
    case 0: {
      const std::string_view fast = pair.fast.SkipTokens(n);
      const std::string_view plain = PlainSkipTokens(pair.plain, n);
      EXPECT_EQ(fast, plain);
      EXPECT_EQ(fast.data() - pair.file.data.get(), plain.data() - pair.file.data.get());
      break;
    }
    case 1: {
      int64_t fastCount = -1;
      int64_t plainCount = -1;
      const std::string_view stop = n % 2 == 0 ? ">" : ">)";
      // Marks as close together as they come: each must be where the plain reads stand after
      // that many tokens from the start of the run.
      std::vector<TokenMark> marks;
      TokenMarks left{&marks, 0, 1, -1};
      const int32_t from = pair.fast.Position();
      const bool good = pair.fast.Good();
      EXPECT_EQ(pair.fast.SkipPast(stop, fastCount, left),
                PlainSkipPast(pair.plain, stop, plainCount));
      EXPECT_EQ(fastCount, plainCount);
      if (good) ExpectMarksWherePlainReadsStand(pair.file, from, marks);
      break;
    }
    case 2: {
      int32_t fast = 7;
      int32_t plain = 7;
      const bool stored = pair.plain.Int(plain);
      pair.plain.Skip();
      EXPECT_EQ(pair.fast.IntThenSkip(fast), stored);
      EXPECT_EQ(fast, plain);
      break;
    }
    case 3: {  // the single reads share the window with the composite ones
      float fast = 42;
      float plain = 42;
      EXPECT_EQ(pair.fast.Float(fast), pair.plain.Float(plain));
      EXPECT_EQ(std::bit_cast<uint32_t>(fast), std::bit_cast<uint32_t>(plain));
      break;
    }
    default: {
      char fast = '?';
      char plain = '?';
      EXPECT_EQ(pair.fast.Char(fast), pair.plain.Char(plain));
      EXPECT_EQ(fast, plain);
      break;
    }
  }
  pair.ExpectSameState();
}

const std::string kPad(61, ' ');  // puts the next byte at offset 61, three before a 64 edge

constexpr struct {
  const char* name;
  int kind;
  int n;
} kSteps[] = {
    {"tokens within one window", 0, 3},
    {"tokens across the window edge", 0, 7},
    {"run up to and with the closing token", 1, 0},
    {"integer with its comma", 2, 0},
    {"integer with its parenthesis", 2, 0},
    {"integer followed by whitespace takes the next token", 2, 0},
    {"decimal", 3, 0},
    {"character", 4, 0},
    {"more tokens than are left", 0, 40},
    {"nothing left", 0, 1},
};

TEST(TokenReaderComposite, ScriptedStepsMatchPlainReads) {
  const std::string text = kPad + "a bb ccc\n  dddd e f g h i j 9 9 > 12, 345) 6 next 1.25 (x " +
                           kPad + "v 1 2 3 > 9 9 9 ) 1 2 3";
  Pair pair(text);
  for (const auto& step : kSteps) {
    SCOPED_TRACE(step.name);
    Step(pair, step.kind, step.n);
  }
}

// The integer lies beyond the first 56 bytes the fast path looks at, or its tail runs past the
// 64 bytes it sees.
TEST(TokenReaderComposite, IntegerAfterALongRunOfWhitespace) {
  Pair pair(kPad + "12, " + kPad + "345) 6 " + kPad);
  Step(pair, 2, 0);
  Step(pair, 2, 0);
  Step(pair, 2, 0);
}

TEST(TokenReaderComposite, IntegerWithATailLongerThanTheWindow) {
  Pair pair("12" + std::string(80, 'x') + " 7 " + kPad);
  Step(pair, 2, 0);
  Step(pair, 2, 0);
}

// A ">" inside a longer token must not stop the run, and a whole ">" token must, wherever it
// stands in its 64-byte block; enough text follows each for the blocks to be counted in bulk.
TEST(TokenReaderComposite, RunToATokenCountsOnlyWholeTokens) {
  std::string tail;
  for (int i = 0; i < 60; ++i) tail += "y ";
  for (const std::string& text : {"a> >b >> > " + tail, kPad + "x > " + tail,
                                  std::string(130, ' ') + "> " + tail, tail + "q\t>\t" + tail}) {
    SCOPED_TRACE(text.substr(0, 40));
    Pair pair(text);
    Step(pair, 1, 0);
    Step(pair, 0, 1);
  }
}

// The run is counted over many 64-byte blocks in a row: a token that crosses from one block into
// the next is one token, one longer than a block is one token, and a ">" that a token carries
// over into the block after it is still no whole ">".
TEST(TokenReaderComposite, RunOverManyBlocksCountsTokensAcrossTheirEdges) {
  std::string words;
  for (int i = 0; i < 100; ++i) words += "yy ";  // 300 bytes: a token across every edge
  const std::string longToken(150, 'w');
  for (const std::string& text :
       {words + "> " + words, words + longToken + " " + words + ">",
        std::string(200, ' ') + longToken + "\n" + words + ">)",
        std::string(63, 'q') + "> " + words + "> " + words, words + "q" + ">" + words + "> end",
        std::string(191, ' ') + "x> " + words + ">", words + std::string(300, '\n') + ">",
        "a" + std::string(62, ' ') + "q> " + words + ">",
        words + std::string(19, ' ') + "q>" + words}) {
    SCOPED_TRACE(text.substr(0, 40));
    for (int stop = 0; stop < 2; ++stop) {
      Pair pair(text);
      Step(pair, 1, stop);
      Step(pair, 0, 2);
      Step(pair, 1, stop);
    }
  }
}

// Random texts of tokens, numbers and whitespace of every kind, random steps: the two readers
// must never part.
TEST(TokenReaderComposite, RandomStepsMatchPlainReads) {
  std::mt19937 random(20261208);
  constexpr std::string_view kWords[] = {
      "12,", "7)", "345", "-0.5", "1e3", "0000000000000000000012",
      ">",   ">)", "a>",  "tri",  "(",   "99999999999",
      ".",   "-",  "+4",  "2.5.1"};
  constexpr std::string_view kGaps[] = {" ", "\n    ", "\t", "\r\n", "\v\f", "  "};
  for (int round = 0; round < 400; ++round) {
    std::string text;
    const int words = static_cast<int>(random() % 120);
    for (int i = 0; i < words; ++i) {
      text += kWords[random() % std::size(kWords)];
      text += kGaps[random() % std::size(kGaps)];
    }
    if (random() % 2 == 0 && !text.empty()) text.pop_back();  // end on a token or on whitespace
    Pair pair(text);
    for (int step = 0; step < 40 && !::testing::Test::HasFailure(); ++step) {
      Step(pair, static_cast<int>(random() % 5), 1 + static_cast<int>(random() % 8));
    }
    ASSERT_FALSE(::testing::Test::HasFailure()) << "text: " << text;
  }
}

}  // namespace
}  // namespace sceneio
