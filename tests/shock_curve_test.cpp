#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "shock_curve.hpp"

namespace {

using velmora::evaluate_remaining_ratio;
using velmora::fill_shock_curve;
using velmora::percent_remaining_at;
using velmora::shock_curve;

struct node {
    double distance;
    double percent;
};

// The curve as printed in the reference figure, transcribed independently of the program.
constexpr node figure_nodes[] = {
    {0, 100},         {5.3659, 100},    {8.2927, 88.179}, {10.854, 80.469}, {12.805, 73.714},
    {15.732, 66.504}, {18.78, 59.317},  {21.341, 53.925}, {23.902, 49.21},  {26.463, 45.079},
    {29.024, 40.981}, {31.829, 37.541}, {33.902, 35.319}, {37.073, 31.987}, {40.976, 28.53},
    {44.268, 26.035}, {47.805, 24.124}, {50.732, 22.524}, {53.415, 21.191}, {56.951, 19.636},
    {60.488, 18.404}, {63.293, 17.514}, {66.829, 16.29},  {70.976, 15.21},  {74.756, 14.31},
    {78.537, 13.514}, {82.317, 12.715}, {85.366, 12.239}, {88.415, 11.781}, {91.341, 11.384},
    {94.39, 11},      {96.951, 10.751}, {99.756, 10.428}, {102.68, 10.27},  {105.49, 10.154},
    {107.32, 10.077}, {150, 9},         {200, 8},         {300, 6.4},       {400, 5},
    {500, 4}};

class shock_curve_lookup : public testing::Test {
protected:
    void SetUp() override {
        fill_shock_curve();
    }
};

TEST_F(shock_curve_lookup, every_node_distance_gives_that_nodes_percent_exactly) {
    for (const node& n : figure_nodes) {
        EXPECT_EQ(percent_remaining_at(n.distance), n.percent) << "at " << n.distance << " inch";
    }
}

TEST_F(shock_curve_lookup, between_and_beyond_nodes) {
    struct lookup_case {
        const char* what;
        double distance;
        double percent;
        double tolerance;
    };
    constexpr double inf = std::numeric_limits<double>::infinity();
    const lookup_case cases[] = {
        {"flat start, inside", 2.5, 100, 0},
        {"flat start, just below node 1", 5.3658, 100, 0},
        {"smallest positive distance", std::numeric_limits<double>::denorm_min(), 100, 0},
        {"between nodes 3 and 4", 12, 76.501, 5e-4},
        {"between nodes 32 and 33", 100, 10.4148, 5e-5},
        {"between nodes 6 and 7", 20, 56.7484, 5e-5},
        {"halfway between 107.32 and 150", 128.66, 9.5385, 1e-9},
        {"halfway between 400 and 500", 450, 4.5, 1e-12},
        {"just below the last node", 499.999, 4.00001, 1e-6},
        {"flat beyond the last node", 1000, 4, 0},
        {"far beyond the last node", 1e300, 4, 0},
        {"infinitely far", inf, 4, 0},
    };
    for (const lookup_case& c : cases) {
        EXPECT_NEAR(percent_remaining_at(c.distance), c.percent, c.tolerance) << c.what;
    }
}

TEST_F(shock_curve_lookup, interpolation_stays_between_its_two_nodes) {
    for (std::size_t i = 0; i + 1 < std::size(figure_nodes); ++i) {
        const node lower = figure_nodes[i];
        const node upper = figure_nodes[i + 1];
        for (const double t : {0.001, 0.25, 0.5, 0.75, 0.999}) {
            const double distance = lower.distance + t * (upper.distance - lower.distance);
            const double percent = percent_remaining_at(distance);
            EXPECT_LE(percent, lower.percent) << "at " << distance << " inch";
            EXPECT_GE(percent, upper.percent) << "at " << distance << " inch";
        }
    }
}

TEST_F(shock_curve_lookup, distances_off_the_curve_give_nan) {
    EXPECT_TRUE(std::isnan(percent_remaining_at(-0.5)));
    EXPECT_TRUE(std::isnan(percent_remaining_at(std::numeric_limits<double>::quiet_NaN())));
}

TEST_F(shock_curve_lookup, negative_zero_is_the_source) {
    EXPECT_EQ(percent_remaining_at(-0.0), 100);
}

TEST(remaining_ratio, worked_cases) {
    struct ratio_case {
        double start;
        double end;
        double start_fraction;
        double end_fraction;
        double ratio;
        double tolerance;
    };
    const ratio_case cases[] = {
        {12, 100, 0.76501, 0.104148, 0.13614, 5e-6},
        {0, 500, 1, 0.04, 0.04, 1e-15},
        {0, 0, 1, 1, 1, 0},
        {600, 700, 0.04, 0.04, 1, 1e-15},
        {20, 20, 0.567484, 0.567484, 1, 5e-7},
        {1, 5, 1, 1, 1, 0},
        {10.854, 150, 0.80469, 0.09, 0.09 / 0.80469, 1e-15},
    };
    fill_shock_curve();
    for (const ratio_case& c : cases) {
        const velmora::remaining_ratio_result result = evaluate_remaining_ratio(c.start, c.end);
        EXPECT_NEAR(result.start_fraction, c.start_fraction, c.tolerance) << c.start;
        EXPECT_NEAR(result.end_fraction, c.end_fraction, c.tolerance) << c.end;
        EXPECT_NEAR(result.ratio, c.ratio, c.tolerance) << c.start << " to " << c.end;
    }
}

TEST(remaining_ratio, equal_distances_give_exactly_one) {
    fill_shock_curve();
    for (const double d : {0.0, 3.0, 12.0, 20.0, 107.32, 128.66, 499.0, 500.0, 1e6}) {
        EXPECT_EQ(evaluate_remaining_ratio(d, d).ratio, 1) << d;
    }
}

TEST(shock_curve_table, filled_curve_keeps_its_invariants) {
    fill_shock_curve();
    const int last = shock_curve.last_node;
    ASSERT_EQ(last, 40);
    const auto n = static_cast<std::size_t>(last);
    EXPECT_EQ(shock_curve.node_distance[0], 0);
    EXPECT_EQ(shock_curve.node_percent[0], 100);
    EXPECT_EQ(shock_curve.node_percent[1], 100);
    EXPECT_EQ(shock_curve.node_percent[n], 4);
    for (std::size_t i = 0; i < n; ++i) {
        EXPECT_LT(shock_curve.node_distance[i], shock_curve.node_distance[i + 1]) << i;
        EXPECT_GE(shock_curve.node_percent[i], shock_curve.node_percent[i + 1]) << i;
    }
    for (std::size_t i = n + 1; i < velmora::shock_curve_capacity; ++i) {
        ASSERT_EQ(shock_curve.node_distance[i], 0) << i;
        ASSERT_EQ(shock_curve.node_percent[i], 0) << i;
    }
}

TEST(shock_curve_table, filling_twice_leaves_it_as_after_one_fill) {
    fill_shock_curve();
    const velmora::shock_curve_table once = shock_curve;
    fill_shock_curve();
    EXPECT_EQ(shock_curve.last_node, once.last_node);
    EXPECT_EQ(shock_curve.node_distance, once.node_distance);
    EXPECT_EQ(shock_curve.node_percent, once.node_percent);
}

}  // namespace
