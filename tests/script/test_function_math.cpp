#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "script/code_function.h"
#include "script/function_math.h"
#include "script/random.h"
#include "script/script_state.h"
#include "support/test_runtime.h"

using namespace kx;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ------------------------------------------------------------- formatting

TEST(RealToString, Table) {
    struct Case {
        double x;
        const char* text;
    };
    const Case cases[] = {
        {3, "3"},
        {-4, "-4"},
        {-0.0, "0"},
        {123456789012.0, "123456789012"},
        {1e20, "100000000000000000000"},
        {2.5, "2.50"},
        {-1.5, "-1.50"},
        {1.0 / 3, "0.33"},
        {0.125, "0.13"},  // an exact tie goes away from zero
        {-0.125, "-0.13"},
        {2.675, "2.67"},                  // the double lies just below the tie
        {0.005, "0.01"},                  // ... and this one just above
        {-0.001, "0.00"},                 // no minus sign on a zero
        {123456789.123, "123456789.10"},  // 10 significant digits
        {1234567890.4, "1234567890.00"},
        {999999999.999, "1000000000.00"},   // carry into a new digit
        {12345678901.5, "1.23456789E+10"},  // more than 10 integer digits
        {4503599627370495.5, "4.503599627E+15"},
        {kNaN, "nan"},
        {kInf, "inf"},
        {-kInf, "-inf"},
    };
    for (const Case& c : cases) EXPECT_EQ(real_to_string(c.x), c.text) << c.x;
}

TEST(RealToFixed, DecimalsAndSignificantDigits) {
    struct Case {
        double x;
        int decimals;
        const char* text;
    };
    const Case cases[] = {
        {1.0 / 3, 18, "0.333333333333333315"},
        {0.1, 18, "0.100000000000000006"},
        {0.1, 40, "0.100000000000000006"},  // decimals stop at 18
        {2.0 / 3, 3, "0.667"},
        {-2.5, 0, "-3"},
        {-0.004, 2, "0.00"},
        {7, -3, "7"},
        {123456789012345678901234.0, 2, "123456789012345686000000.00"},  // 18 significant digits
    };
    for (const Case& c : cases) EXPECT_EQ(real_to_fixed(c.x, c.decimals, 18), c.text) << c.x;
}

// ---------------------------------------------------------------- parsing

TEST(StringToReal, AcceptsDecimalNumbers) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {" 12.5 ", 12.5}, {"", 0},
        {" \t\r\n", 0},   {"+3", 3},
        {"-.5", -0.5},    {"5.", 5},
        {"1e+3", 1000},   {"2E-2", 0.02},
        {"007", 7},       {"-0", 0},
        {"1e999", kInf},  {"-1e999", -kInf},
        {"1e-999", 0},    {"0.000e99999999999", 0},
    };
    for (const Case& c : cases) {
        double v = -1;
        EXPECT_TRUE(string_to_real(c.text, v)) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
}

TEST(StringToReal, RefusesOtherText) {
    for (const char* text : {"1,5", ".", "-", "1e", "1e+", "0x10", "inf", "nan", "1.5e-3x", "- 1",
                             "1 2", "++1", "1..2", "e5"}) {
        double v = -1;
        EXPECT_FALSE(string_to_real(text, v)) << text;
        EXPECT_EQ(v, 0) << text;
    }
}

// --------------------------------------------------------------- rounding

TEST(RoundEven, TiesGoToTheEvenInteger) {
    struct Case {
        double x;
        double r;
    };
    const Case cases[] = {
        {2.5, 2},
        {3.5, 4},
        {-2.5, -2},
        {-3.5, -4},
        {0.5, 0},
        {-0.5, 0},
        {1.5, 2},
        {2.4, 2},
        {2.6, 3},
        {-2.6, -3},
        {0.49999999999999994, 0},
        {4503599627370497.0, 4503599627370497.0},
    };
    for (const Case& c : cases) EXPECT_EQ(round_even_real(c.x), c.r) << c.x;
    EXPECT_EQ(round_even(2.5), 2);
    EXPECT_EQ(round_even(-7.5), -8);
    EXPECT_EQ(round_even(kNaN), 0);
    EXPECT_EQ(round_even(1e30), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(round_even(-1e30), std::numeric_limits<int64_t>::min());
}

// -------------------------------------------------------------- generator

TEST(RandomState, MatchesThePublishedSequence) {
    RandomState r;
    r.set_state(1, 2, 3, 4);
    const uint64_t expected[] = {11520ULL, 0ULL, 1509978240ULL, 1215971899390074240ULL};
    for (uint64_t e : expected) EXPECT_EQ(r.next_u64(), e);
}

TEST(RandomState, SameSeedSameSequence) {
    RandomState a, b, c;
    a.seed(42);
    b.seed(42);
    c.seed(43);
    bool differs = false;
    for (int i = 0; i < 100; ++i) {
        const uint64_t x = a.next_u64();
        EXPECT_EQ(x, b.next_u64());
        differs |= x != c.next_u64();
    }
    EXPECT_TRUE(differs);
    EXPECT_EQ(a.last_seed(), 42u);
}

// Chi-square over 20 cells; with a fixed seed the figure is fixed, and 43.8 is
// the 0.1% critical value for 19 degrees of freedom.
TEST(RandomState, RealsAreUniform) {
    RandomState r;
    r.seed(12345);
    constexpr int kCells = 20;
    constexpr int kDraws = 200000;
    std::vector<int> count(kCells);
    for (int i = 0; i < kDraws; ++i) {
        const double x = r.next_real();
        ASSERT_GE(x, 0.0);
        ASSERT_LT(x, 1.0);
        ++count[static_cast<size_t>(x * kCells)];
    }
    const double expected = double(kDraws) / kCells;
    double chi2 = 0;
    for (int c : count) chi2 += (c - expected) * (c - expected) / expected;
    EXPECT_LT(chi2, 43.8);
}

TEST(RandomState, IntegersCoverTheRangeEvenly) {
    RandomState r;
    r.seed(7);
    // n = 3 does not divide 2^64: a plain modulo would still pass, but values
    // outside [0, n) or a missing residue would not.
    std::vector<int> count(3);
    for (int i = 0; i < 30000; ++i) {
        const uint64_t v = r.next_int(3);
        ASSERT_LT(v, 3u);
        ++count[v];
    }
    for (int c : count) EXPECT_NEAR(c, 10000, 400);
    EXPECT_EQ(r.next_int(0), 0u);
    EXPECT_EQ(r.next_int(1), 0u);
}

// --------------------------------------------------------------- handlers

// The math functions in a table of their own; the handlers act on the
// fixture's runtime (errors, the random generator).
class MathHandlers : public ::testing::Test {
protected:
    void SetUp() override { register_function_math(m_table); }

    RValue call(const char* name, std::initializer_list<RValue> args) {
        const FunctionTable& table = m_table;
        const int index = table.find(name);
        EXPECT_GE(index, 0) << name;
        if (index < 0) return RValue();
        const RBuiltinFunction& f = table.at(index);
        if (f.argc != kAnyArgs) {
            EXPECT_EQ(f.argc, static_cast<int>(args.size())) << name;
        }
        std::vector<RValue> argv(args);
        RValue result;
        f.handler(nullptr, nullptr, static_cast<int>(argv.size()), result, argv.data());
        return result;
    }

    ErrorState& errors() { return m_rt.script().errors; }

    test::TestRuntime m_rt;
    FunctionTable m_table;
};

TEST_F(MathHandlers, EveryFunctionIsRegisteredWithItsCount) {
    struct Entry {
        const char* name;
        int argc;
    };
    const Entry entries[] = {
        {"is_real", 1},
        {"is_string", 1},
        {"random", 1},
        {"choose", -1},
        {"abs", 1},
        {"round", 1},
        {"floor", 1},
        {"ceil", 1},
        {"sign", 1},
        {"frac", 1},
        {"sqrt", 1},
        {"sqr", 1},
        {"exp", 1},
        {"ln", 1},
        {"log2", 1},
        {"log10", 1},
        {"sin", 1},
        {"cos", 1},
        {"tan", 1},
        {"arcsin", 1},
        {"arccos", 1},
        {"arctan", 1},
        {"degtorad", 1},
        {"radtodeg", 1},
        {"arctan2", 2},
        {"power", 2},
        {"logn", 2},
        {"min3", 3},
        {"max3", 3},
        {"min", -1},
        {"max", -1},
        {"mean", -1},
        {"median", -1},
        {"real", 1},
        {"string", 1},
        {"string_format", 3},
        {"chr", 1},
        {"ord", 1},
        {"string_length", 1},
        {"string_pos", 2},
        {"string_copy", 3},
        {"string_char_at", 2},
        {"string_delete", 3},
        {"string_insert", 3},
        {"string_lower", 1},
        {"string_upper", 1},
        {"string_repeat", 2},
        {"string_letters", 1},
        {"string_digits", 1},
        {"string_lettersdigits", 1},
        {"string_replace", 3},
        {"string_replace_all", 3},
        {"string_count", 2},
        {"point_distance", 4},
        {"point_direction", 4},
        {"lengthdir_x", 2},
        {"lengthdir_y", 2},
    };
    const FunctionTable& table = m_table;
    EXPECT_EQ(table.count(), static_cast<int>(std::size(entries)));
    for (const Entry& e : entries) {
        const int index = table.find(e.name);
        ASSERT_GE(index, 0) << e.name;
        EXPECT_EQ(table.at(index).argc, e.argc) << e.name;
    }
}

TEST_F(MathHandlers, DomainErrorsReportAndLeaveZero) {
    struct Case {
        const char* name;
        std::vector<RValue> args;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"ln", {0.0}, "Error in function ln()."},
        {"ln", {-1.0}, "Error in function ln()."},
        {"log2", {0.0}, "Error in function log2()."},
        {"log10", {-5.0}, "Error in function log10()."},
        {"arcsin", {1.5}, "Error in function arcsin()."},
        {"arccos", {-1.01}, "Error in function arccos()."},
        {"arctan2", {kNaN, 1.0}, "Error in function arctan2()."},
        {"power", {-8.0, 1.0 / 3}, "Error in function power()."},
        {"power", {0.0, -1.0}, "Error in function power()."},
        {"logn", {1.0, 8.0}, "Error in function logn()."},
        {"logn", {2.0, 0.0}, "Error in function logn()."},
        {"real", {"1,5"}, "Error in function real()."},
        {"string_repeat", {"ab", 1e12}, "Error in function string_repeat()."},
        {"string_format", {1.0, 1e12, 0.0}, "Error in function string_format()."},
        {"string_replace_all",
         {RValue(KxString(std::string(1000, 'a'))), "a",
          RValue(KxString(std::string(300000, 'b')))},
         "Error in function string_replace_all()."},
    };
    for (const Case& c : cases) {
        errors().occurred = false;
        errors().last.clear();
        const FunctionTable& table = m_table;
        const RBuiltinFunction& f = table.at(table.find(c.name));
        RValue result;
        f.handler(nullptr, nullptr, static_cast<int>(c.args.size()), result, c.args.data());
        EXPECT_TRUE(result.is_real()) << c.name;
        EXPECT_EQ(result.real, 0.0) << c.name;
        EXPECT_TRUE(errors().occurred) << c.name;
        EXPECT_NE(errors().last.find(c.message), std::string::npos)
            << c.name << ": " << errors().last;
    }
    // Valid arguments at the edges report nothing.
    errors().occurred = false;
    EXPECT_EQ(call("arcsin", {1.0}).real, std::asin(1.0));
    EXPECT_EQ(call("power", {-2.0, 3.0}).real, -8.0);
    EXPECT_EQ(call("power", {2.0, -2.0}).real, 0.25);
    EXPECT_EQ(call("real", {" "}).real, 0.0);
    EXPECT_FALSE(errors().occurred);
}

TEST_F(MathHandlers, MinAndMaxCompareByTheChosenKind) {
    // Chosen 'b' is a string: the real 5 reads as the empty text, which is smaller.
    RValue r = call("min", {"b", 5.0});
    EXPECT_TRUE(r.is_real());
    EXPECT_EQ(r.real, 5.0);
    // Chosen 1 is a real: the string reads as 0, which is smaller.
    r = call("min", {1.0, "z"});
    ASSERT_TRUE(r.is_string());
    EXPECT_EQ(r.str.view(), "z");
    // The same for max: the chosen value's kind decides in both directions.
    r = call("max", {"a", 5.0});
    ASSERT_TRUE(r.is_string());
    EXPECT_EQ(r.str.view(), "a");
    r = call("max", {1.0, "z"});
    ASSERT_TRUE(r.is_real());
    EXPECT_EQ(r.real, 1.0);
    r = call("max", {"a", "B", "ab"});
    ASSERT_TRUE(r.is_string());
    EXPECT_EQ(r.str.view(), "ab");
    r = call("max3", {1.0, 3.0, 2.0});
    EXPECT_EQ(r.real, 3.0);
    EXPECT_EQ(call("max", {}).real, 0.0);
}

TEST_F(MathHandlers, ChooseAndRandomFollowTheSeed) {
    m_rt.script().random.seed(99);
    std::vector<double> first;
    for (int i = 0; i < 20; ++i) first.push_back(call("random", {10.0}).real);
    m_rt.script().random.seed(99);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(call("random", {10.0}).real, first[static_cast<size_t>(i)]);
        EXPECT_GE(first[static_cast<size_t>(i)], 0.0);
        EXPECT_LT(first[static_cast<size_t>(i)], 10.0);
    }
    bool seen[3] = {};
    for (int i = 0; i < 200; ++i) {
        const RValue r = call("choose", {"x", 7.0, "y"});
        if (r.is_real()) {
            EXPECT_EQ(r.real, 7.0);
            seen[1] = true;
        } else {
            seen[r.str.view() == "x" ? 0 : 2] = true;
            EXPECT_TRUE(r.str.view() == "x" || r.str.view() == "y");
        }
    }
    EXPECT_TRUE(seen[0] && seen[1] && seen[2]);
    EXPECT_EQ(call("choose", {}).real, 0.0);
}

TEST_F(MathHandlers, FloorAndCeilWrapToThirtyTwoBits) {
    EXPECT_EQ(call("floor", {2147483648.5}).real, -2147483648.0);
    EXPECT_EQ(call("ceil", {-2147483649.5}).real, 2147483647.0);
    EXPECT_EQ(call("floor", {4294967296.0 * 3 + 5.5}).real, 5.0);
    EXPECT_EQ(call("floor", {-0.5}).real, -1.0);
    EXPECT_EQ(call("ceil", {kNaN}).real, 0.0);
}

TEST_F(MathHandlers, StringsKeepEmbeddedZeroBytes) {
    const RValue nul = call("chr", {256.0});
    ASSERT_EQ(nul.str.size(), 1u);
    EXPECT_EQ(nul.str[0], '\0');
    const RValue s = call("string_insert", {nul, "ab", 2.0});
    EXPECT_EQ(s.str.view(), std::string_view("a\0b", 3));
    EXPECT_EQ(call("string_length", {s}).real, 3.0);
    EXPECT_EQ(call("string_pos", {"b", s}).real, 3.0);
    EXPECT_EQ(call("ord", {call("chr", {-1.0})}).real, 255.0);
}

}  // namespace
