// Prints the shock curve as gnuplot data, straight from the library: the nodes,
// a fine sampling of the lookup, and the worked example from 12 to 100 inches.
// Blocks are separated by two blank lines, so gnuplot reads them as index 0, 1, 2.
#include <cstdio>

#include "shock_curve.hpp"

namespace {

// Distance to which the sampling runs, past the last node to show the flat stretch.
constexpr double sampling_end = 600;

// Distance between neighbouring samples.
constexpr double sampling_step = 0.25;

// Writes the 41 nodes: distance and remaining percent.
void print_nodes() {
    std::printf("# nodes: distance (inch), remaining (percent)\n");
    const int last = velmora::shock_curve.last_node;
    for (int i = 0; i <= last; ++i) {
        const auto node = static_cast<std::size_t>(i);
        std::printf("%.17g %.17g\n", velmora::shock_curve.node_distance[node],
                    velmora::shock_curve.node_percent[node]);
    }
}

// Writes the lookup sampled from the source to sampling_end.
void print_sampling() {
    std::printf("\n\n# lookup: distance (inch), remaining (percent)\n");
    const auto samples = static_cast<int>(sampling_end / sampling_step);
    for (int i = 0; i <= samples; ++i) {
        const double distance = i * sampling_step;
        std::printf("%.17g %.17g\n", distance, velmora::percent_remaining_at(distance));
    }
}

// Writes the worked example: both distances with their percent, and the ratio.
void print_worked_example() {
    const velmora::remaining_ratio_result result = velmora::evaluate_remaining_ratio(12, 100);
    std::printf("\n\n# worked example: distance (inch), remaining (percent), remaining ratio\n");
    std::printf("12 %.17g %.17g\n", result.start_fraction * 100, result.ratio);
    std::printf("100 %.17g %.17g\n", result.end_fraction * 100, result.ratio);
}

}  // namespace

int main() {
    velmora::fill_shock_curve();
    print_nodes();
    print_sampling();
    print_worked_example();
    return 0;
}
