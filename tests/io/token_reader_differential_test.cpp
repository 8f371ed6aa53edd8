// The TokenReader read side by side with std::istringstream: same tokens, values, offsets and
// flags, except in the places listed in support/stream_differential.h. Each row also names the
// differences it must meet, so a row that stops exercising one is noticed.
#include <gtest/gtest.h>

#include <string_view>

#include "support/stream_differential.h"

namespace sceneio {
namespace {

using namespace std::string_view_literals;
using namespace testing;

struct Row {
  const char* name;
  std::string_view bytes;
  std::string_view ops;  // T token, F float, I integer, C character, P position, S seek
  unsigned allowed;
};

constexpr std::string_view kLights =
    "lights 2\n<\n(name \"key\"\n  brightness 1.5\n  rgb 1 0.95 0.8\n"
    "  direction -0.5 -1 -0.25\n)\n>\n";

const Row kRows[] = {
    {"every whitespace byte separates", "a\tb\nc\vd\fe\rf g", "TTTTTTTT", kTokenOnFailure},
    {"carriage return and line feed", "a\r\nb\r\n", "TTT", kTokenOnFailure},
    {"zero byte belongs to the token", "a\0b c "sv, "TTP", 0},
    {"byte 0xA0 is not whitespace",
     "a\xA0"
     "b",
     "T", 0},
    {"empty bytes", "", "T", kTokenOnFailure},
    {"only whitespace", " \n\t ", "TP", kTokenOnFailure},
    {"position then seek back", "ab cd\n", "TPTST", 0},
    {"token at the last byte, then position", "ab", "TP", kPositionAtEnd},
    {"seek clears end-of-data", "ab cd", "TPTSTT", kTokenOnFailure},
    {"seek on a failed reader stays failed", "ab cd", "TPFST", kFailedValue | kTokenOnFailure},
    {"light file read as tokens", kLights, "TTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTT",
     kTokenOnFailure},
    {"light file read as the parser does", kLights, "TTTPTTTFTFFFTFFFTTSTTTTT", 0},
    {"float forms", "1.5 .5 5. +7 1e3 2E-1 1e0 -1) 1.5.2 ", "FFFFFFFFTFFP", 0},
    {"hex stops after the zero", "0x10 ", "FTP", 0},
    {"text after a number stays", "45deg ", "FT", 0},
    {"negative zero", "-0 ", "F", 0},
    {"tie rounds to even", "16777217 ", "F", 0},
    {"largest float", "3.4028235e38 ", "F", 0},
    {"smallest subnormal float", "1.4e-45 ", "F", 0},
    {"too small for a float", "1e-50 ", "F", 0},
    {"subnormal double", "1e-310 ", "F", 0},
    {"long mantissa", "0.1000000000000000055511151231257827 ", "F", 0},
    {"many digits", "123456789012345678901234567890 ", "F", 0},
    {"number at the end", "12", "FT", kTokenOnFailure},
    {"lone minus fails", "- 5", "F", kFailedValue},
    {"lone point fails", ". 5", "FP", kFailedValue},
    {"exponent without digits fails", "1e 5", "F", kFailedValue},
    {"exponent sign without digits fails", "1e+", "F", kFailedValue},
    {"letters fail and stop the reader", "abc", "FTP", kFailedValue | kTokenOnFailure},
    {"beyond float range", "1e39 ", "F", kBeyondFloat},
    {"beyond float range, negative", "-1e39 ", "FT", kBeyondFloat},
    {"past halfway to infinity", "3.4028236e38 ", "F", kBeyondFloat},
    {"beyond double range, small", "1e-999 ", "F", kBeyondDouble},
    {"beyond double range, large", "1e999 ", "F", kFailedValue},
    {"rounds differently through double", "1.00000005960464477539062500000001 ", "F",
     kDoubleRounding},
    {"integers", "12abc 3.5 -2147483648 007 1,000 ", "ITITIIIT", 0},
    {"integer just past the range", "2147483648 ", "I", kFailedValue},
    {"integer far past the range", "123456789012345678901234567890 ", "I", kFailedValue},
    {"integer sign alone", "+ 1", "I", kFailedValue},
    {"characters", " x y", "CCCP", 0},
    {"character after a token", "ab)c", "FTC", kFailedValue | kTokenOnFailure},
    {"number directly against a parenthesis", "-1) x", "FCT", 0},
};

TEST(TokenReaderDifferential, AgreesWithTheStream) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    const DifferentialResult result = CompareWithStream(row.bytes, row.ops);
    EXPECT_EQ(result.mismatch, "");
    EXPECT_EQ(result.allowed, row.allowed);
  }
}

}  // namespace
}  // namespace sceneio
