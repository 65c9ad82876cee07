// face_draw with its layout cached, drawn through primitives that only
// count: the cost of the library's own work per picture.

#include "quadface.h"

#include <benchmark/benchmark.h>

namespace {

long pens_set;
long fills;

void draw_at(benchmark::State &state, bool moving) {
    const int size = static_cast<int>(state.range(0));
    face_draw(10, 7, 30, size, size, -1);  // lays out the face once
    const long before = pens_set + fills;
    int second = 0;
    for (auto _ : state) {
        // A moving clock walks through every minute and hour, so the square
        // slides and the bars change; a still one draws one time over.
        if (moving)
            second = (second + 37) % (12 * 3600);
        face_draw(second / 3600, second / 60 % 60, second % 60, size, size, -1);
        benchmark::ClobberMemory();
    }
    state.counters["primitives"] = benchmark::Counter(
        static_cast<double>(pens_set + fills - before) / static_cast<double>(state.iterations()));
}

void BM_face_draw(benchmark::State &state) { draw_at(state, false); }
void BM_face_draw_moving(benchmark::State &state) { draw_at(state, true); }

}  // namespace

extern "C" void face_set_pen(int pen) {
    pens_set++;
    benchmark::DoNotOptimize(pen);
}

extern "C" void face_fill(int x0, int y0, int x1, int y1) {
    fills++;
    benchmark::DoNotOptimize(x0 + y0 + x1 + y1);
}

BENCHMARK(BM_face_draw)->Arg(80)->Arg(8192);
BENCHMARK(BM_face_draw_moving)->Arg(80)->Arg(8192);

BENCHMARK_MAIN();
