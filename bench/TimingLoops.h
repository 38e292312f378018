#pragma once

// The timing loop the modifier benchmarks share. Include after HeapPeak.h (one source per program).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

#include "brindle/brindle.h"

// Vertex and face counts of a result.
struct Tcounts {
    double v = 0, f = 0;
};

// Runs the factory on a fresh copy of src per iteration, timing the action alone (the copy and its
// release are not timed); answers the counts of the last result, with the largest heap peak the
// action added in peak. A refusal ends the benchmark with an error.
inline Tcounts timeAction(benchmark::State& state, const TpolyGeom& src, const TmidFaceComponent& list,
                          TmidModifierFty& fty, size_t& peak) {
    Tcounts out;
    for (auto _ : state) {
        state.PauseTiming();
        auto body = std::make_unique<TmidBody>(new TpolyGeom(src));
        TmidFaceComponent faces(list);
        const heappeak::Mark mark;
        state.ResumeTiming();
        if (fty.doAction(body.get(), &faces) != 0) state.SkipWithError("the action refused");
        state.PauseTiming();
        peak = std::max(peak, mark.added());
        out = {double(body->polyGeom()->nbVertex()), double(body->polyGeom()->nbFace())};
        body.reset();
        state.ResumeTiming();
    }
    return out;
}
