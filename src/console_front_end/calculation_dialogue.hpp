// One calculation: ask for the starting point and the ending, check them,
// and write the two remaining fractions and the remaining ratio.
#pragma once

namespace velmora {

// How a calculation ended.
enum class calculation_outcome {
    completed,    // the result lines were written
    input_ended,  // standard input ended before an acceptable pair was read
};

// Runs one calculation, asking again until the pair of distances is acceptable.
calculation_outcome run_calculation();

}  // namespace velmora
