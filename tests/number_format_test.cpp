// The C library's formatting and reading of numbers, as the program uses them:
// every build must have the C99 behaviour, so that a run writes the same bytes
// on every platform. A Windows build that fell back on the old Microsoft
// runtime would write 1e+010 and read neither inf nor nan.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace {

// The text of value through the conversion the result lines use.
std::string six_three_g(double value) {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%6.3g", value);
    return length < 0 ? "(failed)" : std::string(text, static_cast<std::size_t>(length));
}

TEST(number_format, six_three_g_as_c99_writes_it) {
    struct format_case {
        double value;
        const char* text;
    };
    const format_case cases[] = {
        {1, "     1"},
        {0.04, "  0.04"},
        {0.13614, " 0.136"},
        {0.567484, " 0.567"},
        {0.0009995, "0.000999"},
        {1e10, " 1e+10"},
        {1.5e-7, "1.5e-07"},
        {std::numeric_limits<double>::infinity(), "   inf"},
        {-std::numeric_limits<double>::infinity(), "  -inf"},
    };
    for (const format_case& c : cases) {
        EXPECT_EQ(six_three_g(c.value), c.text) << c.value;
    }
    EXPECT_TRUE(six_three_g(std::numeric_limits<double>::quiet_NaN()).ends_with("nan"));
}

TEST(number_format, strtod_reads_as_c99_does) {
    struct reading_case {
        const char* text;
        double value;
    };
    const reading_case cases[] = {
        {"12", 12},   {"+1.2e1", 12},      {".5", 0.5},       {"1E2", 100},
        {"0x10", 16}, {"1e999", HUGE_VAL}, {"inf", HUGE_VAL}, {"-Infinity", -HUGE_VAL},
    };
    for (const reading_case& c : cases) {
        char* end = nullptr;
        EXPECT_EQ(std::strtod(c.text, &end), c.value) << c.text;
        EXPECT_EQ(*end, '\0') << c.text << " was not read whole";
    }
    char* end = nullptr;
    EXPECT_TRUE(std::isnan(std::strtod("nan", &end)));
    EXPECT_EQ(*end, '\0');
}

}  // namespace
