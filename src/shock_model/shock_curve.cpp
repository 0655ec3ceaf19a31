#include "shock_curve.hpp"

#include <algorithm>
#include <limits>

namespace velmora {

namespace {

constexpr std::size_t node_count = 41;

// Node distances in inches, read off the reference figure.
constexpr std::array<double, node_count> figure_distance = {
    0,      5.3659, 8.2927, 10.854, 12.805, 15.732, 18.78,  21.341, 23.902,
    26.463, 29.024, 31.829, 33.902, 37.073, 40.976, 44.268, 47.805, 50.732,
    53.415, 56.951, 60.488, 63.293, 66.829, 70.976, 74.756, 78.537, 82.317,
    85.366, 88.415, 91.341, 94.39,  96.951, 99.756, 102.68, 105.49, 107.32,
    150,    200,    300,    400,    500};

// Percent of peak shock remaining at the node of the same index.
constexpr std::array<double, node_count> figure_percent = {
    100,    100,    88.179, 80.469, 73.714, 66.504, 59.317, 53.925, 49.21,
    45.079, 40.981, 37.541, 35.319, 31.987, 28.53,  26.035, 24.124, 22.524,
    21.191, 19.636, 18.404, 17.514, 16.29,  15.21,  14.31,  13.514, 12.715,
    12.239, 11.781, 11.384, 11,     10.751, 10.428, 10.27,  10.154, 10.077,
    9,      8,      6.4,    5,      4};

// True when the distances start at the source and strictly increase.
constexpr bool distances_start_at_zero_and_increase() {
    return figure_distance.front() == 0 &&
           std::adjacent_find(figure_distance.begin(), figure_distance.end(),
                              [](double lower, double upper) { return upper <= lower; }) ==
               figure_distance.end();
}

// True when the percentages never rise from one node to the next.
constexpr bool percentages_never_rise() {
    return std::adjacent_find(figure_percent.begin(), figure_percent.end(),
                              [](double lower, double upper) { return upper > lower; }) ==
           figure_percent.end();
}

static_assert(distances_start_at_zero_and_increase(), "every interval must have a positive width");
static_assert(percentages_never_rise(), "the curve must never rise");
static_assert(figure_percent.front() == 100 && figure_percent.back() == 4);

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
    std::copy(figure_distance.begin(), figure_distance.end(), curve_storage.node_distance.begin());
    std::copy(figure_percent.begin(), figure_percent.end(), curve_storage.node_percent.begin());
    curve_storage.last_node = static_cast<int>(node_count) - 1;
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
