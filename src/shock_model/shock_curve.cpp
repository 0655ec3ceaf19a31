#include "shock_curve.hpp"

#include <algorithm>
#include <iterator>
#include <limits>

namespace velmora {

namespace {

// One node of the reference figure: distance from the source and percent remaining there.
struct figure_node {
    double distance;  // inch
    double percent;   // of the peak shock level
};

// The 41 nodes read off the reference figure, from the source outwards.
constexpr figure_node figure_nodes[] = {
    {0, 100},          // node 0
    {5.3659, 100},     // node 1
    {8.2927, 88.179},  // node 2
    {10.854, 80.469},  // node 3
    {12.805, 73.714},  // node 4
    {15.732, 66.504},  // node 5
    {18.78, 59.317},   // node 6
    {21.341, 53.925},  // node 7
    {23.902, 49.21},   // node 8
    {26.463, 45.079},  // node 9
    {29.024, 40.981},  // node 10
    {31.829, 37.541},  // node 11
    {33.902, 35.319},  // node 12
    {37.073, 31.987},  // node 13
    {40.976, 28.53},   // node 14
    {44.268, 26.035},  // node 15
    {47.805, 24.124},  // node 16
    {50.732, 22.524},  // node 17
    {53.415, 21.191},  // node 18
    {56.951, 19.636},  // node 19
    {60.488, 18.404},  // node 20
    {63.293, 17.514},  // node 21
    {66.829, 16.29},   // node 22
    {70.976, 15.21},   // node 23
    {74.756, 14.31},   // node 24
    {78.537, 13.514},  // node 25
    {82.317, 12.715},  // node 26
    {85.366, 12.239},  // node 27
    {88.415, 11.781},  // node 28
    {91.341, 11.384},  // node 29
    {94.39, 11},       // node 30
    {96.951, 10.751},  // node 31
    {99.756, 10.428},  // node 32
    {102.68, 10.27},   // node 33
    {105.49, 10.154},  // node 34
    {107.32, 10.077},  // node 35
    {150, 9},          // node 36
    {200, 8},          // node 37
    {300, 6.4},        // node 38
    {400, 5},          // node 39
    {500, 4},          // node 40
};
static_assert(std::size(figure_nodes) == 41);

// True when the distances start at the source and strictly increase.
constexpr bool distances_start_at_zero_and_increase() {
    return std::begin(figure_nodes)->distance == 0 &&
           std::adjacent_find(std::begin(figure_nodes), std::end(figure_nodes),
                              [](figure_node lower, figure_node upper) {
                                  return upper.distance <= lower.distance;
                              }) == std::end(figure_nodes);
}

// True when the percentages never rise from one node to the next.
constexpr bool percentages_never_rise() {
    return std::adjacent_find(std::begin(figure_nodes), std::end(figure_nodes),
                              [](figure_node lower, figure_node upper) {
                                  return upper.percent > lower.percent;
                              }) == std::end(figure_nodes);
}

static_assert(distances_start_at_zero_and_increase(), "every interval must have a positive width");
static_assert(percentages_never_rise(), "the curve must never rise");
static_assert(figure_nodes[0].percent == 100 && figure_nodes[40].percent == 4);
static_assert(std::size(figure_nodes) <= shock_curve_capacity);

// The curve's storage; zero-initialised before the first fill.
shock_curve_table curve_storage{};

// Linear interpolation inside the interval from node i to node i + 1.
double interpolate_in_interval(std::size_t i, double distance) {
    const double lower = curve_storage.node_distance[i];
    const double upper = curve_storage.node_distance[i + 1];
    const double t = (distance - lower) / (upper - lower);
    return (1 - t) * curve_storage.node_percent[i] + t * curve_storage.node_percent[i + 1];
}

}  // namespace

const shock_curve_table& shock_curve = curve_storage;

void fill_shock_curve() {
    for (std::size_t i = 0; i < std::size(figure_nodes); ++i) {
        curve_storage.node_distance[i] = figure_nodes[i].distance;
        curve_storage.node_percent[i] = figure_nodes[i].percent;
    }
    curve_storage.last_node = static_cast<int>(std::size(figure_nodes)) - 1;
}

double percent_remaining_at(double distance) {
    const auto last = static_cast<std::size_t>(curve_storage.last_node);
    for (std::size_t i = 0; i < last; ++i) {
        const double lower = curve_storage.node_distance[i];
        if (distance == lower) {
            return curve_storage.node_percent[i];
        }
        if (lower < distance && distance < curve_storage.node_distance[i + 1]) {
            return interpolate_in_interval(i, distance);
        }
    }
    if (distance >= curve_storage.node_distance[last]) {
        return curve_storage.node_percent[last];  // flat beyond the last node
    }
    return std::numeric_limits<double>::quiet_NaN();  // negative or NaN: off the curve
}

remaining_ratio_result evaluate_remaining_ratio(double start, double end) {
    const double start_fraction = percent_remaining_at(start) * 0.01;
    const double end_fraction = percent_remaining_at(end) * 0.01;
    return {start_fraction, end_fraction, end_fraction / start_fraction};
}

}  // namespace velmora
