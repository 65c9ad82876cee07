// The canvas of quadrix-image and its writers: drawing the face into the
// canvas, and each writer turning a drawn canvas into its file, at the
// default size and at the largest.  The writers write to a stream that only
// counts the bytes, so the figures are the program's own work, without the
// kernel's.

#include "canvas.h"
#include "options.h"
#include "quadface.h"
#include "writers.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <sys/types.h>

namespace {

long bytes_written;

ssize_t count_bytes(void *, const char *, size_t size) {
    bytes_written += static_cast<long>(size);
    return static_cast<ssize_t>(size);
}

void make_canvas(int size) {
    start_options(0, nullptr);
    verbose = 0;
    image_width = size;
    image_height = size;
    alloc_canvas();
}

void BM_canvas_draw(benchmark::State &state) {
    const int size = static_cast<int>(state.range(0));
    make_canvas(size);
    for (auto _ : state) {
        face_draw(10, 7, 30, size, size, -1);
        benchmark::DoNotOptimize(canvas_row_pens(0));
    }
}

void BM_canvas_alloc_and_draw(benchmark::State &state) {
    const int size = static_cast<int>(state.range(0));
    for (auto _ : state) {
        make_canvas(size);
        face_draw(10, 7, 30, size, size, -1);
        benchmark::DoNotOptimize(canvas_row_pens(0));
    }
}

void write_one(benchmark::State &state, int format) {
    const int size = static_cast<int>(state.range(0));
    make_canvas(size);
    face_draw(10, 7, 30, size, size, -1);
    output_format = format;
    cookie_io_functions_t counting = {nullptr, count_bytes, nullptr, nullptr};
    output_file = fopencookie(nullptr, "w", counting);
    if (output_file == nullptr) {
        state.SkipWithError("cannot open a counting stream");
        return;
    }
    bytes_written = 0;
    for (auto _ : state)
        write_image();
    std::fflush(output_file);
    state.SetBytesProcessed(bytes_written);
    std::fclose(output_file);
    output_file = nullptr;
}

void BM_write_ppm(benchmark::State &state) { write_one(state, FORMAT_PPM); }
void BM_write_xpm(benchmark::State &state) { write_one(state, FORMAT_XPM); }
void BM_write_xbm(benchmark::State &state) { write_one(state, FORMAT_XBM); }
void BM_write_pbm(benchmark::State &state) { write_one(state, FORMAT_PBM); }
void BM_write_bmp(benchmark::State &state) { write_one(state, FORMAT_BMP); }
void BM_write_bmpwin(benchmark::State &state) { write_one(state, FORMAT_BMPWIN); }
void BM_write_png(benchmark::State &state) { write_one(state, FORMAT_PNG); }
void BM_write_svg(benchmark::State &state) { write_one(state, FORMAT_SVG); }

}  // namespace

BENCHMARK(BM_canvas_draw)->Arg(80)->Arg(8192);
BENCHMARK(BM_canvas_alloc_and_draw)->Arg(80)->Arg(8192);
BENCHMARK(BM_write_ppm)->Arg(80)->Arg(8192)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_write_xpm)->Arg(80)->Arg(8192)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_write_xbm)->Arg(80)->Arg(8192)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_write_pbm)->Arg(80)->Arg(8192)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_write_bmp)->Arg(80)->Arg(8192)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_write_bmpwin)->Arg(80)->Arg(8192)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_write_png)->Arg(80)->Arg(8192)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_write_svg)->Arg(80)->Arg(8192)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
