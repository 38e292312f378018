// Reading a 1000 x 1000 grid of quads back from its binary chunk, as written (argument 0) and
// with the second entry of every face turned the wrong way (argument 1), so that every face goes
// through the direction repair. Both must take about the same time: the repair is one pass.
#include <benchmark/benchmark.h>

#include <vector>

#include "support/GridBuilder.h"

namespace {

std::vector<uint8_t> gridChunk(bool flipped) {
    TpolyGeom g;
    buildQuadGrid(g, 1000);
    if (flipped)
        for (uint32_t f = 0; f < g.nbFace(); ++f)
            g.setFaceEdge(4 * f + 1, g.getFaceEdge(4 * f + 1) ^ TpolyBits::kReversedUse);
    TiffFile file;
    file.beginChunk(TiffTag("POLY"));
    g.writeBinary(file);
    file.endChunk();
    return {file.chunk(0).data, file.chunk(0).data + file.chunk(0).size};
}

void BM_ReadBinaryRepair(benchmark::State& state) {
    std::vector<uint8_t> data = gridChunk(state.range(0) != 0);
    for (auto _ : state) {
        TpolyGeom g;
        int size = int(data.size());
        benchmark::DoNotOptimize(g.readBinary(data.data(), size, true));
    }
    state.counters["MB/s"] =
        benchmark::Counter(double(data.size()) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(BM_ReadBinaryRepair)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
