// Prints the remaining ratio from 12 to 100 inches through the installed library.
#include <cstdio>

#include <velmora/shock_curve.hpp>

int main() {
    velmora::fill_shock_curve();
    const velmora::remaining_ratio_result result = velmora::evaluate_remaining_ratio(12, 100);
    std::printf("%.5f %.5f %.5f\n", result.start_fraction, result.end_fraction, result.ratio);
    return 0;
}
