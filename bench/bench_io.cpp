// Saving and loading a 1000 x 1000 grid of quads: the binary chunk written and read back, and the
// full text dump read back with the dump reader. Counters give MB/s of chunk or text.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "support/GridBuilder.h"

namespace {

constexpr uint32_t kGrid = 1000;

const TpolyGeom& grid() {
    static const TpolyGeom g = [] {
        TpolyGeom r;
        buildQuadGrid(r, kGrid);
        return r;
    }();
    return g;
}

TiffFile chunkOfGrid() {
    TiffFile file;
    file.beginChunk(TiffTag("POLY"));
    grid().writeBinary(file);
    file.endChunk();
    return file;
}

void BM_WriteBinary(benchmark::State& state) {
    grid();  // built outside the timed loop
    size_t bytes = 0;
    for (auto _ : state) {
        TiffFile file = chunkOfGrid();
        bytes += file.bytes().size();
        benchmark::DoNotOptimize(file.bytes().data());
    }
    state.counters["MB/s"] = benchmark::Counter(double(bytes) / 1e6, benchmark::Counter::kIsRate);
}

void BM_ReadBinary(benchmark::State& state) {
    const TiffFile file = chunkOfGrid();
    const TiffFile::Chunk c = file.chunk(0);
    std::string data(reinterpret_cast<const char*>(c.data), c.size);
    for (auto _ : state) {
        TpolyGeom g;
        int size = int(data.size());
        benchmark::DoNotOptimize(g.readBinary(data.data(), size, true));
    }
    state.counters["MB/s"] =
        benchmark::Counter(double(data.size()) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DumpAndLoadObject(benchmark::State& state) {
    TpolyGeom g(grid());
    std::string text;
    TdebugOutput::sCout.redirectToString(&text);
    g.debug(TdebugOutput::sCout, 0xFFFF);
    TdebugOutput::sCout.restore();
    const std::string path = "/tmp/bench_io_dump.txt";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    for (auto _ : state) {
        TpolyGeom back;
        benchmark::DoNotOptimize(back.loadObject(path.c_str()));
    }
    std::remove(path.c_str());
    state.counters["MB/s"] =
        benchmark::Counter(double(text.size()) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(BM_WriteBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DumpAndLoadObject)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
