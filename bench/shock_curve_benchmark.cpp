// Micro-benchmarks of the curve lookup and of one remaining-ratio calculation.
#include <benchmark/benchmark.h>

#include "shock_curve.hpp"

namespace {

// A lookup at one distance: on a node, between near nodes, between far nodes, beyond the last.
void percent_remaining_at(benchmark::State& state, double distance) {
    velmora::fill_shock_curve();
    for (auto _ : state) {
        benchmark::DoNotOptimize(distance);
        benchmark::DoNotOptimize(velmora::percent_remaining_at(distance));
    }
}
BENCHMARK_CAPTURE(percent_remaining_at, source, 0.0);
BENCHMARK_CAPTURE(percent_remaining_at, between_nodes_3_and_4, 12.0);
BENCHMARK_CAPTURE(percent_remaining_at, between_nodes_32_and_33, 100.0);
BENCHMARK_CAPTURE(percent_remaining_at, between_nodes_39_and_40, 450.0);
BENCHMARK_CAPTURE(percent_remaining_at, beyond_the_last_node, 1000.0);

// One calculation as the dialogue makes it: fill the curve, then the ratio from 12 to 100 inches.
void fill_and_evaluate_remaining_ratio(benchmark::State& state) {
    double start = 12;
    double end = 100;
    for (auto _ : state) {
        benchmark::DoNotOptimize(start);
        benchmark::DoNotOptimize(end);
        velmora::fill_shock_curve();
        benchmark::DoNotOptimize(velmora::evaluate_remaining_ratio(start, end));
    }
}
BENCHMARK(fill_and_evaluate_remaining_ratio);

// The ratio alone, on a filled curve.
void evaluate_remaining_ratio(benchmark::State& state) {
    velmora::fill_shock_curve();
    double start = 12;
    double end = 100;
    for (auto _ : state) {
        benchmark::DoNotOptimize(start);
        benchmark::DoNotOptimize(end);
        benchmark::DoNotOptimize(velmora::evaluate_remaining_ratio(start, end));
    }
}
BENCHMARK(evaluate_remaining_ratio);

}  // namespace

BENCHMARK_MAIN();
