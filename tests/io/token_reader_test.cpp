// Token, number and character reads, position and seek, and the quoted-name rule.
#include "io/token_reader.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/buffer_of.h"

namespace sceneio {
namespace {

using testing::BufferOf;
using namespace std::string_view_literals;

constexpr float kUntouched = 42.0f;
constexpr uint32_t kInf = 0x7F800000u;

struct FloatCase {
  const char* name;
  std::string_view text;
  bool stored;
  uint32_t bits;          // the stored float, when stored
  std::string_view next;  // the token a read right after returns ("" once the reader failed)
  bool ended;             // the number's run met the end of the bytes
};

constexpr FloatCase kFloatCases[] = {
    {"plain decimal", "1.5", true, 0x3FC00000u, "", true},
    {"leading point", ".5 ", true, 0x3F000000u, "", false},
    {"trailing point", "5. x", true, 0x40A00000u, "x", false},
    {"plus sign", "+7", true, 0x40E00000u, "", true},
    {"exponent", "1e3", true, 0x447A0000u, "", true},
    {"capital exponent with sign", "2E-1", true, 0x3E4CCCCDu, "", true},
    {"exponent zero", "1e0", true, 0x3F800000u, "", true},
    {"explicit plus exponent", "1e+2 ", true, 0x42C80000u, "", false},
    {"leading zeros", "00012", true, 0x41400000u, "", true},
    {"number against a parenthesis", "-1)", true, 0xBF800000u, ")", false},
    {"second point starts the next read", "1.5.2", true, 0x3FC00000u, ".2", false},
    {"hex is not read", "0x10", true, 0x00000000u, "x10", false},
    {"tail after the number stays", "45deg", true, 0x42340000u, "deg", false},
    {"negative zero keeps its sign", "-0", true, 0x80000000u, "", true},
    {"tie rounds to even", "16777217", true, 0x4B800000u, "", true},
    {"largest float", "3.4028235e38", true, 0x7F7FFFFFu, "", true},
    {"just below halfway to infinity", "3.40282356e38", true, 0x7F7FFFFFu, "", true},
    {"past halfway is infinite", "3.4028236e38", true, kInf, "", true},
    {"beyond float range is infinite", "1e39", true, kInf, "", true},
    {"negative beyond range", "-1e39", true, 0xFF800000u, "", true},
    {"smallest subnormal", "1.4e-45", true, 0x00000001u, "", true},
    {"rounds up to the smallest subnormal", "1e-45", true, 0x00000001u, "", true},
    {"too small for a float is zero", "1e-50", true, 0x00000000u, "", true},
    {"subnormal double is in range", "1e-310", true, 0x00000000u, "", true},
    {"long mantissa takes the exact path", "0.1000000000000000055511151231257827", true,
     0x3DCCCCCDu, "", true},
    // Converted through double first: the decimal lies just above the midpoint between 1 and the
    // next float, but its nearest double is the midpoint itself, which ties to even.
    {"rounds through double", "1.00000005960464477539062500000001", true, 0x3F800000u, "", true},
    {"many fraction digits", "3.14159265358979323846264338327950288", true, 0x40490FDBu, "", true},
    // Zero times any power of ten is zero, even where ten to that power is no double.
    {"zero with an exponent beyond range", "0e400", true, 0x00000000u, "", true},
    {"negative zero with an exponent below range", "-0.000e-400", true, 0x80000000u, "", true},
    {"zero with more exponent digits than any integer holds", "0e99999999999999999999", true,
     0x00000000u, "", true},
};

TEST(TokenReaderFloat, StoresTheRoundedValue) {
  for (const FloatCase& c : kFloatCases) {
    SCOPED_TRACE(c.name);
    FileBuffer file = BufferOf(c.text);
    TokenReader reader(file);
    float value = kUntouched;
    ASSERT_TRUE(reader.Float(value));
    EXPECT_EQ(std::bit_cast<uint32_t>(value), c.bits);
    EXPECT_FALSE(reader.Failed());
    EXPECT_EQ(reader.Ended(), c.ended);
    EXPECT_EQ(reader.Token(), c.next);
  }
}

struct FailedNumberCase {
  const char* name;
  std::string_view text;
  bool ended;
};

constexpr FailedNumberCase kFailedFloatCases[] = {
    {"lone minus sign", "- 1", false},
    {"exponent without digits", "1e 5", false},
    {"exponent sign without digits", "1e+ 5", false},
    {"exponent marker at the end", "1e", true},
    {"letters", "abc", false},
    {"inf is no number", "inf", false},
    {"nan is no number", "nan", false},
    {"lone point", ". 1", false},
    {"overflows double", "1e999", true},
    {"exponent with more digits than any integer holds", "1e99999999999999999999", true},
    {"underflows double", "1e-999", true},
    {"empty", "", true},
    {"only whitespace", " \r\n\t", true},
};

TEST(TokenReaderFloat, FailureLeavesTargetAndStopsTheReader) {
  for (const FailedNumberCase& c : kFailedFloatCases) {
    SCOPED_TRACE(c.name);
    FileBuffer file = BufferOf(c.text);
    TokenReader reader(file);
    float value = kUntouched;
    EXPECT_FALSE(reader.Float(value));
    EXPECT_EQ(value, kUntouched);
    EXPECT_TRUE(reader.Failed());
    EXPECT_EQ(reader.Ended(), c.ended);
    EXPECT_EQ(reader.Position(), -1);
    EXPECT_EQ(reader.Token(), "");
    EXPECT_FALSE(reader.Float(value));
    EXPECT_EQ(value, kUntouched);
  }
}

struct IntCase {
  const char* name;
  std::string_view text;
  bool stored;
  int32_t value;
  std::string_view next;
};

constexpr IntCase kIntCases[] = {
    {"tail stays for the next read", "12abc", true, 12, "abc"},
    {"fraction stays", "3.5", true, 3, ".5"},
    {"smallest", "-2147483648", true, INT32_MIN, ""},
    {"largest", "2147483647", true, INT32_MAX, ""},
    {"leading zeros are decimal", "007", true, 7, ""},
    {"comma ends the number", "1,000", true, 1, ",000"},
    {"plus sign", "+5", true, 5, ""},
    {"hex prefix ends at x", "0x10", true, 0, "x10"},
    {"one past the largest fails", "2147483648", false, 0, ""},
    {"one below the smallest fails", "-2147483649", false, 0, ""},
    {"far out of range fails", "99999999999999999999999", false, 0, ""},
    {"lone sign fails", "- 3", false, 0, ""},
    {"letters fail", "abc", false, 0, ""},
    {"empty fails", "", false, 0, ""},
    // Longer than the 64 bytes the fast path looks at: the whitespace, or the digits.
    {"integer after a long run of whitespace",
     "                                                            42          ", true, 42, ""},
    {"digits longer than the window",
     "00000000000000000000000000000000000000000000000000000000000000000000007", true, 7, ""},
};

TEST(TokenReaderInt, MatchesTable) {
  for (const IntCase& c : kIntCases) {
    SCOPED_TRACE(c.name);
    FileBuffer file = BufferOf(c.text);
    TokenReader reader(file);
    int32_t value = 77;
    EXPECT_EQ(reader.Int(value), c.stored);
    EXPECT_EQ(value, c.stored ? c.value : 77);
    EXPECT_EQ(reader.Failed(), !c.stored);
    EXPECT_EQ(reader.Token(), c.next);
  }
}

// Every token of a text, and whether the reader is still good after the last of them.
struct TokenCase {
  const char* name;
  std::string_view text;
  std::vector<std::string_view> tokens;
  bool goodAfterLast;  // Good() once the tokens are read: a token at the last byte ends it
};

const TokenCase kTokenCases[] = {
    {"empty", "", {}, true},
    {"only whitespace", " \t\r\n\v\f", {}, true},
    {"token at the last byte", "abc", {"abc"}, false},
    {"token followed by a line feed", "abc\n", {"abc"}, true},
    {"every whitespace byte separates", "a\r\nb\tc\vd\fe f", {"a", "b", "c", "d", "e", "f"}, false},
    {"zero byte is ordinary", "a\0b x"sv, {"a\0b"sv, "x"}, false},
    {"0xA0 is ordinary", "a\xA0 b", {"a\xA0", "b"}, false},
    {"high bytes are ordinary", "\xFF\x80 \x7F", {"\xFF\x80", "\x7F"}, false},
    {"parenthesis glued to a word", "(name \"x\")", {"(name", "\"x\")"}, false},
};

TEST(TokenReaderToken, SplitsAtWhitespaceOnly) {
  for (const TokenCase& c : kTokenCases) {
    SCOPED_TRACE(c.name);
    FileBuffer file = BufferOf(c.text);
    TokenReader reader(file);
    for (std::string_view expected : c.tokens) {
      EXPECT_EQ(reader.Token(), expected);
      EXPECT_FALSE(reader.Failed());
    }
    EXPECT_EQ(reader.Good(), c.goodAfterLast);
    EXPECT_EQ(reader.Token(), "");
    EXPECT_TRUE(reader.Failed());
    EXPECT_TRUE(reader.Ended());
  }
}

TEST(TokenReaderToken, NeverReadsPastTheByteCount) {
  const char bytes[] = "abc def";
  TokenReader reader(bytes, 3);
  EXPECT_EQ(reader.Token(), "abc");
  EXPECT_TRUE(reader.Ended());
  EXPECT_EQ(reader.Token(), "");

  TokenReader none(bytes, 0);
  EXPECT_EQ(none.Token(), "");
  EXPECT_TRUE(none.Ended());
  EXPECT_TRUE(none.Failed());
}

TEST(TokenReaderToken, StringTargetIsEmptiedEvenWhenTheReadFails) {
  FileBuffer file = BufferOf("one");
  TokenReader reader(file);
  std::string target = "stale";
  reader.Token(target);
  EXPECT_EQ(target, "one");
  reader.Token(target);
  EXPECT_EQ(target, "");
}

TEST(TokenReaderChar, SkipsWhitespaceAndTakesOneByte) {
  FileBuffer file = BufferOf(" (x\n)");
  TokenReader reader(file);
  char c = '?';
  EXPECT_TRUE(reader.Char(c));
  EXPECT_EQ(c, '(');
  EXPECT_EQ(reader.Token(), "x");
  EXPECT_TRUE(reader.Char(c));
  EXPECT_EQ(c, ')');
  EXPECT_FALSE(reader.Ended());  // the last byte was taken, but nothing looked past it
  EXPECT_FALSE(reader.Char(c));
  EXPECT_EQ(c, ')');
  EXPECT_TRUE(reader.Ended());
  EXPECT_TRUE(reader.Failed());
}

TEST(TokenReaderPosition, SeekReturnsToAQueriedOffset) {
  FileBuffer file = BufferOf("ab cd");
  TokenReader reader(file);
  EXPECT_EQ(reader.Token(), "ab");
  EXPECT_EQ(reader.Position(), 2);  // the whitespace byte after the token
  EXPECT_EQ(reader.Token(), "cd");
  EXPECT_TRUE(reader.Ended());
  EXPECT_EQ(reader.Position(), 5);  // end-of-data alone does not hide the position
  reader.Seek(2);
  EXPECT_TRUE(reader.Good());
  EXPECT_EQ(reader.Token(), "cd");
}

TEST(TokenReaderChar, TakesTheByteAfterALongRunOfWhitespace) {
  FileBuffer file = BufferOf(std::string(70, ' ') + "x" + std::string(10, ' '));
  TokenReader reader(file);
  char c = '?';
  EXPECT_TRUE(reader.Char(c));
  EXPECT_EQ(c, 'x');
  EXPECT_EQ(reader.Position(), 71);
}

// An offset outside the bytes is taken as the nearer end: never a position before the first
// byte or after the last.
TEST(TokenReaderPosition, SeekOutsideTheBytesStopsAtTheirEnds) {
  FileBuffer file = BufferOf("ab cd");
  TokenReader reader(file);
  reader.Seek(-4);
  EXPECT_EQ(reader.Position(), 0);
  EXPECT_EQ(reader.Token(), "ab");
  reader.Seek(99);
  EXPECT_EQ(reader.Position(), 5);
  EXPECT_EQ(reader.Token(), "");
  EXPECT_TRUE(reader.Ended());
}

// No token is the empty stop, so the run goes to the end counting every token; a reader that
// has stopped delivers nothing at all.
TEST(TokenReaderSkipPast, EmptyStopAndStoppedReaderFindNothing) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += "ab ";
  FileBuffer file = BufferOf(text);
  TokenReader reader(file);
  int64_t delivered = -1;
  EXPECT_FALSE(reader.SkipPast("", delivered));
  EXPECT_EQ(delivered, 40);
  EXPECT_TRUE(reader.Ended());
  EXPECT_FALSE(reader.SkipPast(">", delivered));
  EXPECT_EQ(delivered, 0);
}

TEST(TokenReaderPosition, FailedReaderStaysFailed) {
  FileBuffer file = BufferOf("ab");
  TokenReader reader(file);
  EXPECT_EQ(reader.Token(), "ab");
  EXPECT_EQ(reader.Token(), "");
  EXPECT_EQ(reader.Position(), -1);
  reader.Seek(0);
  EXPECT_FALSE(reader.Ended());
  EXPECT_TRUE(reader.Failed());
  EXPECT_EQ(reader.Token(), "");
}

constexpr struct {
  const char* name;
  std::string_view in;
  std::string_view out;
} kUnquoteCases[] = {
    {"quoted", "\"lamp\"", "lamp"},
    {"missing closing quote", "\"lamp", "lamp"},
    {"no quotes loses the first letter", "lamp", "amp"},
    {"two quotes", "\"\"", ""},
    {"cut at the first inner quote", "\"a\"b\"", "a"},
    {"empty", "", ""},
    {"text after the closing quote is dropped", "\"x.lgt\"junk", "x.lgt"},
};

TEST(UnquoteNameTest, MatchesTable) {
  for (const auto& c : kUnquoteCases) {
    SCOPED_TRACE(c.name);
    std::string name(c.in);
    UnquoteName(name);
    EXPECT_EQ(name, c.out);
  }
}

}  // namespace
}  // namespace sceneio
