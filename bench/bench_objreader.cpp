// Parsing throughput of the OBJ reader over a generated ~100 MB file (positions, UVs, normals and
// 1M+ "f v/vt/vn" triangles), and of importing it into a record with shared edges, beside
// tinyobjloader's LoadObj on the same file in the same run. Then the import of the sample meshes
// (the scanned bunny, the cow, the quad-dominant suzanne) and of a 100k-quad grid file, each beside
// tinyobjloader's parse of the same file.
#include "brindle/geom/PolyGeom.h"
#include "brindle/objreader/ObjImport.h"
#include "brindle/objreader/ObjReader.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>
#include <sys/stat.h>

#ifdef BRINDLE_HAVE_TINYOBJLOADER
#include <tiny_obj_loader.h>
#endif

namespace {

// The grid size is in the name so that a file left by another generator is never reused.
const int kGrid = 710;
const char* kPath = "/tmp/brindle_bench_objreader_tri710.obj";

// Writes the file once: an n-by-n vertex grid cut into triangles, one UV and one normal per vertex.
std::size_t benchFile() {
    static std::size_t bytes = [] {
        struct stat st {};
        if (stat(kPath, &st) == 0 && st.st_size > 90000000) return std::size_t(st.st_size);
        const int n = kGrid;
        std::FILE* f = std::fopen(kPath, "w");
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i)
                std::fprintf(f, "v %.6f %.6f %.6f\nvt %.6f %.6f\nvn %.6f %.6f %.6f\n", i * 0.013, j * 0.017,
                             (i * j % 97) * 0.01, double(i) / n, double(j) / n, 0.0, 0.6, 0.8);
        for (int j = 0; j + 1 < n; ++j)
            for (int i = 0; i + 1 < n; ++i) {
                const int a = j * n + i + 1, b = a + 1, c = a + n + 1, d = a + n;
                std::fprintf(f, "f %d/%d/%d %d/%d/%d %d/%d/%d\nf %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c,
                             c, a, a, a, c, c, c, d, d, d);
            }
        std::fclose(f);
        struct stat done {};
        stat(kPath, &done);
        return std::size_t(done.st_size);
    }();
    return bytes;
}

void BM_BrindleObjReader(benchmark::State& state) {
    const std::size_t bytes = benchFile();
    for (auto _ : state) {
        TobjParser* p = PARSE_init(kPath);
        p->initFile(p, kPath, 0, nullptr);
        long corners = 0;
        while (TobjCommand* c = p->command(p))
            if (c->code == OBJ_CMD_F) corners += c->as.face.count;
        benchmark::DoNotOptimize(corners);
        p->close(p);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * bytes));
}
BENCHMARK(BM_BrindleObjReader)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_BrindleObjImport(benchmark::State& state) {
    const std::size_t bytes = benchFile();
    for (auto _ : state) {
        TobjImportReport report;
        TpolyGeom* g = TobjImport::read(kPath, report);
        if (!g) {
            state.SkipWithError(report.error.c_str());
            break;
        }
        benchmark::DoNotOptimize(g->nbEdge());
        delete g;
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * bytes));
}
BENCHMARK(BM_BrindleObjImport)->Unit(benchmark::kMillisecond)->Iterations(3);

#ifdef BRINDLE_HAVE_TINYOBJLOADER
void BM_TinyObjLoader(benchmark::State& state) {
    const std::size_t bytes = benchFile();
    for (auto _ : state) {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        const bool ok = tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, kPath, nullptr, false);
        if (!ok) state.SkipWithError("tinyobjloader failed");
        benchmark::DoNotOptimize(attrib.vertices.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * bytes));
}
BENCHMARK(BM_TinyObjLoader)->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

// 0 bunny, 1 cow, 2 suzanne, 3 a 316 x 316 quad grid written once to /tmp.
std::string sampleFile(int which) {
    static const std::string grid = [] {
        const std::string path = "/tmp/brindle_bench_objreader_quads316.obj";
        const int n = 316;
        std::FILE* f = std::fopen(path.c_str(), "w");
        for (int j = 0; j <= n; ++j)
            for (int i = 0; i <= n; ++i) std::fprintf(f, "v %d %d 0\n", i, j);
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                const int a = j * (n + 1) + i + 1;
                std::fprintf(f, "f %d %d %d %d\n", a, a + 1, a + n + 2, a + n + 1);
            }
        std::fclose(f);
        return path;
    }();
    static const char* names[] = {"stanford-bunny", "cow", "suzanne"};
    return which < 3 ? std::string(BRINDLE_DATA_DIR) + "/" + names[which] + ".obj" : grid;
}

void sampleFiles(benchmark::internal::Benchmark* b) {
    b->ArgName("mesh");
    for (int i = 0; i < 4; ++i) b->Arg(i);
}

void BM_ObjImportSample(benchmark::State& state) {
    const std::string path = sampleFile(int(state.range(0)));
    for (auto _ : state) {
        TobjImportReport report;
        TpolyGeom* g = TobjImport::read(path.c_str(), report);
        if (!g) {
            state.SkipWithError(report.error.c_str());
            break;
        }
        benchmark::DoNotOptimize(g->nbEdge());
        delete g;
    }
}
BENCHMARK(BM_ObjImportSample)->Apply(sampleFiles)->Unit(benchmark::kMillisecond);

#ifdef BRINDLE_HAVE_TINYOBJLOADER
void BM_TinyObjSample(benchmark::State& state) {
    const std::string path = sampleFile(int(state.range(0)));
    for (auto _ : state) {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str(), nullptr, false))
            state.SkipWithError("tinyobjloader failed");
        benchmark::DoNotOptimize(attrib.vertices.data());
    }
}
BENCHMARK(BM_TinyObjSample)->Apply(sampleFiles)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
