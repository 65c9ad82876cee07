// Fuzzes the face: any hour, minute, second and border, any size.  Sizes
// the library can lay out must give the calls it promises its hosts; the
// others must end with its message before any primitive is called.
//
// Input: seven little-endian 32-bit words, hour, minute, second, border,
// width, height and a choice of ranges; missing bytes count as zero.  The
// choice's low byte is for the width, the next one for the height, each
// taken modulo 3: 0 folds a side above 8192 into 21..8192, so that most
// inputs draw at the sizes the programs use; 1 folds it into 21..
// FACE_MAX_SIZE + 8192, every size the library draws and the first ones it
// refuses; 2 takes it as it is, anywhere in the int range.

#include "face_layout.h"
#include "quadface.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Call {
    bool is_pen;
    int pen;
    int x0, y0, x1, y1;
};

constexpr int MAX_CALLS = 64;
Call calls[MAX_CALLS];
int call_count;

// The library's ending, caught here instead of ending the fuzzer.
struct LayoutFailure {
    const char *message;
};

void fail(const char *what, int hour, int minute, int second, int border,
          int width, int height) {
    std::fprintf(stderr, "contract broken: %s\n(face_draw %d, %d, %d, %d x %d, border %d)\n",
                 what, hour, minute, second, width, height, border);
    for (int i = 0; i < call_count && i < MAX_CALLS; i++) {
        if (calls[i].is_pen)
            std::fprintf(stderr, "  pen %d\n", calls[i].pen);
        else
            std::fprintf(stderr, "  fill %d %d %d %d\n", calls[i].x0, calls[i].y0,
                         calls[i].x1, calls[i].y1);
    }
    std::abort();
}

std::int32_t word(const std::uint8_t *data, std::size_t size, std::size_t index) {
    std::uint8_t bytes[4] = {0, 0, 0, 0};
    for (std::size_t k = 0; k < 4; k++)
        if (4 * index + k < size)
            bytes[k] = data[4 * index + k];
    const std::uint32_t value = bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                                static_cast<std::uint32_t>(bytes[3]) << 24;
    return static_cast<std::int32_t>(value);
}

int fold_size(std::int32_t raw, unsigned choice) {
    if (raw <= 8192 || choice % 3 == 2)
        return raw;
    const std::uint32_t span = choice % 3 == 1 ? FACE_MAX_SIZE + 8192u - 20u : 8172u;
    return 21 + static_cast<int>(static_cast<std::uint32_t>(raw) % span);
}

bool same_call(const Call &a, const Call &b) {
    return a.is_pen == b.is_pen && a.pen == b.pen && a.x0 == b.x0 && a.y0 == b.y0 &&
           a.x1 == b.x1 && a.y1 == b.y1;
}

// Draws and records; returns the library's message when it refused.
const char *record(int hour, int minute, int second, int width, int height, int border) {
    call_count = 0;
    try {
        face_draw(hour, minute, second, width, height, border);
    } catch (const LayoutFailure &failure) {
        return failure.message;
    }
    return nullptr;
}

}  // namespace

void face_layout_failure(const char *message) { throw LayoutFailure{message}; }

extern "C" void face_set_pen(int pen) {
    if (call_count < MAX_CALLS)
        calls[call_count] = Call{true, pen, 0, 0, 0, 0};
    call_count++;
}

extern "C" void face_fill(int x0, int y0, int x1, int y1) {
    if (call_count < MAX_CALLS)
        calls[call_count] = Call{false, 0, x0, y0, x1, y1};
    call_count++;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const int hour = word(data, size, 0);
    const int minute = word(data, size, 1);
    const int second = word(data, size, 2);
    const int border = word(data, size, 3);
    const auto choice = static_cast<std::uint32_t>(word(data, size, 6));
    const int width = fold_size(word(data, size, 4), choice & 0xff);
    const int height = fold_size(word(data, size, 5), choice >> 8 & 0xff);
#define CHECK(condition, what) \
    if (!(condition)) fail(what, hour, minute, second, border, width, height)

    const char *refusal = record(hour, minute, second, width, height, border);

    const bool too_small = width < 21 || height < 21;
    const bool border_too_large =
        border > 0 && (width - 2LL * border < 21 || height - 2LL * border < 21);
    const bool too_large = width > FACE_MAX_SIZE || height > FACE_MAX_SIZE;
    if (too_small || border_too_large || too_large) {
        CHECK(refusal != nullptr, "a size outside the limits was drawn");
        CHECK(std::strcmp(refusal, too_small          ? "Quadface: too small\n"
                                   : border_too_large ? "Quadface: border too large for size\n"
                                                      : "Quadface: too large\n") == 0,
              "the wrong message for a size outside the limits");
        CHECK(call_count == 0, "a primitive was called before the library's message");
        return 0;
    }
    CHECK(refusal == nullptr, "a size within the limits was refused");
    CHECK(call_count <= MAX_CALLS, "far too many calls");

    // The background first, over the whole image.
    CHECK(call_count >= 2 && calls[0].is_pen && calls[0].pen == PEN_BACKGROUND,
          "the first call is not the background pen");
    CHECK(!calls[1].is_pen && calls[1].x0 == 0 && calls[1].y0 == 0 &&
              calls[1].x1 == width - 1 && calls[1].y1 == height - 1,
          "the second call does not fill the whole image");

    // Then each pen once, in order, with its number of fills.
    constexpr int order[4] = {PEN_SQUARE, PEN_INSIDE, PEN_HOUR, PEN_MINUTE};
    int fills_after[4] = {0, 0, 0, 0};
    int stage = -1;
    int fills = 1;
    for (int i = 2; i < call_count; i++) {
        if (calls[i].is_pen) {
            stage++;
            CHECK(stage < 4 && calls[i].pen == order[stage], "a pen out of order or twice");
            continue;
        }
        CHECK(stage >= 0, "a fill before the square's pen");
        fills_after[stage]++;
        fills++;
        const Call &c = calls[i];
        if (c.x1 < c.x0 || c.y1 < c.y0)
            continue;
        CHECK(c.x0 >= 0 && c.y0 >= 0 && c.x1 <= width - 1 && c.y1 <= height - 1,
              "a fill outside the image");
    }
    CHECK(stage == 3, "not every pen was selected");
    CHECK(fills_after[0] == 1 && fills_after[1] == 1 && fills_after[2] == 2,
          "the square, its inside or the hour marker has the wrong number of fills");
    CHECK(fills_after[3] == 5 || fills_after[3] == 6, "not five or six bar fills");
    CHECK(fills == 10 || fills == 11, "not ten or eleven fills");

    // Empty fills come from the hour marker and stay inside the square.
    const FaceLayout &layout = face_current_layout();
    for (int i = 2; i < call_count; i++) {
        const Call &c = calls[i];
        if (c.is_pen || (c.x1 >= c.x0 && c.y1 >= c.y0))
            continue;
        const int lo_x = layout.origin_x, hi_x = layout.origin_x + layout.square_size - 1;
        const int lo_y = layout.origin_y, hi_y = layout.origin_y + layout.square_size - 1;
        CHECK(c.x0 >= lo_x && c.x1 >= lo_x && c.x0 <= hi_x && c.x1 <= hi_x &&
                  c.y0 >= lo_y && c.y1 >= lo_y && c.y0 <= hi_y && c.y1 <= hi_y,
              "an empty fill outside the square");
    }

    // The cached layout draws what a fresh one draws: lay out another size,
    // come back, and the calls must be the same.
    Call first[MAX_CALLS];
    const int first_count = call_count;
    std::memcpy(first, calls, sizeof first);
    record(0, 0, 0, width == 64 ? 65 : 64, 64, -1);
    bool same = record(hour, minute, second, width, height, border) == nullptr &&
                call_count == first_count;
    for (int i = 0; same && i < call_count; i++)
        same = same_call(first[i], calls[i]);
    CHECK(same, "drawing again after a new layout gives other calls");
#undef CHECK
    return 0;
}
