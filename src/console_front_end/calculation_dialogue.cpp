#include "calculation_dialogue.hpp"

#include "console.hpp"
#include "shock_curve.hpp"

namespace velmora {

namespace {

// What one round of asking for the two distances gave.
enum class pair_status { accepted, rejected, input_ended };

// The two distances in inches from the shock source, and whether they can be used.
struct distance_pair {
    pair_status status;
    double start;
    double end;
};

// The pair status for a distance that could not be read.
pair_status status_of_unread(input_status status) {
    return status == input_status::ended ? pair_status::input_ended : pair_status::rejected;
}

// True for a start of 0 or more with an end not below it; NaN fails both comparisons.
bool is_acceptable_pair(double start, double end) {
    return start >= 0 && end >= start;
}

// Asks for the starting point and then the ending, and reads them.
distance_pair ask_for_distances() {
    write_text("\n\n Enter the starting point (inch): \n");
    const number_reading start = read_number();
    if (start.status != input_status::value) {
        return {status_of_unread(start.status), 0, 0};
    }
    write_text("\n Enter the ending (inch): \n");
    const number_reading end = read_number();
    if (end.status != input_status::value) {
        return {status_of_unread(end.status), 0, 0};
    }
    const bool acceptable = is_acceptable_pair(start.value, end.value);
    return {acceptable ? pair_status::accepted : pair_status::rejected, start.value, end.value};
}

// Writes the two remaining fractions, starting point first, and the remaining ratio.
void write_result(const remaining_ratio_result& result) {
    write_text("\n  %6.3g  %6.3g \n", result.start_fraction, result.end_fraction);
    write_text("\n\n  %6.3g remaining ratio\n", result.ratio);
}

}  // namespace

calculation_outcome run_calculation() {
    fill_shock_curve();
    distance_pair pair = ask_for_distances();
    while (pair.status == pair_status::rejected) {
        write_text("\n\n Input error.  Try again. \n");
        pair = ask_for_distances();
    }
    if (pair.status == pair_status::input_ended) {
        return calculation_outcome::input_ended;
    }
    write_result(evaluate_remaining_ratio(pair.start, pair.end));
    return calculation_outcome::completed;
}

}  // namespace velmora
