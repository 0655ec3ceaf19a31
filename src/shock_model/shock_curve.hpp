// The empirical pyrotechnic shock curve of NASA CR 116406, Figure 3.1:
// percent of peak shock remaining against distance from the source along a
// cylindrical shell, and the remaining ratio between two distances.
#pragma once

#include <array>
#include <cstddef>

namespace velmora {

// Slots in each node array; only nodes 0 to last_node are ever written or read.
inline constexpr std::size_t shock_curve_capacity = 1000;

// The curve's nodes: distance in inches and remaining percent at that distance.
struct shock_curve_table {
    int last_node;
    std::array<double, shock_curve_capacity> node_distance;
    std::array<double, shock_curve_capacity> node_percent;
};

// The curve itself, read-only to callers: all zero until fill_shock_curve runs.
extern const shock_curve_table& shock_curve;

// Remaining fractions at two distances and their ratio, ending over starting.
struct remaining_ratio_result {
    double start_fraction;
    double end_fraction;
    double ratio;
};

// Writes the 41 nodes into shock_curve; every call writes the same values.
void fill_shock_curve();

// Remaining percent at a distance of 0 or more inches; NaN for a negative or NaN distance.
double percent_remaining_at(double distance);

// Remaining fractions at start and end (0 <= start <= end, in inches) and their ratio.
remaining_ratio_result evaluate_remaining_ratio(double start, double end);

}  // namespace velmora
