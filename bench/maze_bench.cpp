// Maze generation with the fast connectivity search and with the literal
// full-sweep flood fill, over a chain of mazes as play produces them.
#include <benchmark/benchmark.h>

#include "game/maze.h"
#include "game/random.h"
#include "support/full_sweep_flood.h"

namespace {

void GenerateChain(benchmark::State& state, ConnectivityTest test) {
    MazeGrid maze{};
    SeedRandom(1);
    for (auto _ : state) {
        GenerateMazeWith(maze, test);
        benchmark::DoNotOptimize(maze);
    }
}

void BM_GenerateMazeFastSearch(benchmark::State& state) {
    GenerateChain(state, CellsConnected);
}
void BM_GenerateMazeFullSweep(benchmark::State& state) {
    GenerateChain(state, FullSweepConnected);
}

BENCHMARK(BM_GenerateMazeFastSearch)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GenerateMazeFullSweep)->Unit(benchmark::kMicrosecond);

}  // namespace
