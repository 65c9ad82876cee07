#include "canvas.h"

#include "host.h"
#include "options.h"
#include "quadface.h"

#include <cstdlib>
#include <cstring>

int canvas_columns;

namespace {

// The face is made of rectangles, so most rows of a picture equal the row
// next to them.  The canvas keeps room for every row, but rows with equal
// pens share one slot of that room, and a fill gives new slots only to the
// rows it changes.  Slots that no row has needed are never touched, so a
// large canvas costs a few rows of memory in use, and a writer encodes each
// run of rows that share a slot once.
unsigned char *canvas;     // image_height slots of canvas_columns bytes
int *row_slot;             // the slot of each row, the bottom row first
int *slot_users;           // how many rows use each slot
bool *slot_pinned;         // handed out by canvas_row: written in place, never shared
int *free_slots;           // slots given up by their rows, the next one taken last
int free_count;
int fresh_slot;            // slots from here on have never been taken
int row_count;
int current_pen;

// The fills since the last one over the whole image, which hides all that
// came before it: the face begins with one, so the list stays short.
FillRecord *fills;
int fill_count;
int fill_capacity;

void record_fill(int pen, int x0, int y0, int x1, int y1) {
    if (x0 == 0 && y0 == 0 && x1 == image_width - 1 && y1 == image_height - 1)
        fill_count = 0;
    if (fill_count == fill_capacity) {
        const int capacity = fill_capacity > 0 ? 2 * fill_capacity : 16;
        auto *larger = static_cast<FillRecord *>(
            xmalloc(sizeof(FillRecord) * static_cast<std::size_t>(capacity)));
        if (fill_count > 0)
            std::memcpy(larger, fills, sizeof(FillRecord) * static_cast<std::size_t>(fill_count));
        std::free(fills);
        fills = larger;
        fill_capacity = capacity;
    }
    fills[fill_count++] = FillRecord{pen, x0, y0, x1, y1};
}

unsigned char *pens_of(int slot) {
    return canvas + static_cast<std::size_t>(slot) * static_cast<std::size_t>(canvas_columns);
}

// A free slot holding the pens of slot from; no users yet.
int copy_slot(int from) {
    const int slot = free_count > 0 ? free_slots[--free_count] : fresh_slot++;
    std::memcpy(pens_of(slot), pens_of(from), static_cast<std::size_t>(canvas_columns));
    slot_users[slot] = 0;
    slot_pinned[slot] = false;
    return slot;
}

void point_row(int y, int slot) {
    slot_users[slot]++;
    const int old = row_slot[y];
    row_slot[y] = slot;
    if (--slot_users[old] == 0)
        free_slots[free_count++] = old;
}

// The slots a fill has made, each for the slot its rows had before; a fill
// meets few distinct slots, so a short list serves.  A slot missing from it
// only costs another copy.
constexpr int REMEMBERED = 8;
struct Replacement {
    int old_slot;
    int new_slot;
};

template <typename T>
T *take_array(int count) {
    return static_cast<T *>(
        xmalloc(sizeof(T) * static_cast<std::size_t>(count > 0 ? count : 1)));
}

}  // namespace

void alloc_canvas() {
    std::free(canvas);
    std::free(row_slot);
    std::free(slot_users);
    std::free(slot_pinned);
    std::free(free_slots);
    canvas = nullptr;
    row_count = 0;
    fill_count = 0;

    canvas_columns = (image_width + 7) / 8 * 8;
    const int height = image_height > 0 ? image_height : 0;
    row_slot = take_array<int>(height);
    slot_users = take_array<int>(height);
    slot_pinned = take_array<bool>(height);
    free_slots = take_array<int>(height);
    canvas = take_array<unsigned char>(canvas_columns * height);
    row_count = height;
    if (height == 0)
        return;

    // Every row starts in slot 0, all PEN_BACKGROUND, padding columns
    // included.  The other slots are set up as they are taken, so that a
    // large canvas touches no more memory than its rows need.
    std::memset(pens_of(0), PEN_BACKGROUND, static_cast<std::size_t>(canvas_columns));
    std::memset(row_slot, 0, sizeof(int) * static_cast<std::size_t>(height));
    slot_users[0] = height;
    slot_pinned[0] = false;
    free_count = 0;
    fresh_slot = 1;
}

const FillRecord *canvas_fills(int &count) {
    count = fill_count;
    return fills;
}

const unsigned char *canvas_row_pens(int y) { return pens_of(row_slot[y]); }

int canvas_run(int y, int step) {
    const int slot = row_slot[y];
    int n = 1;
    for (int next = y + step; next >= 0 && next < row_count && row_slot[next] == slot;
         next += step)
        n++;
    return n;
}

unsigned char *canvas_row(int y) {
    int slot = row_slot[y];
    if (!slot_pinned[slot] && slot_users[slot] > 1) {
        slot = copy_slot(slot);
        point_row(y, slot);
    }
    slot_pinned[slot] = true;
    return pens_of(slot);
}

extern "C" void face_set_pen(int pen) { current_pen = pen; }

extern "C" void face_fill(int x0, int y0, int x1, int y1) {
    if (x1 < x0 || y1 < y0)
        return;
    const unsigned char pen = static_cast<unsigned char>(current_pen & 0xff);
    record_fill(pen, x0, y0, x1, y1);
    const std::size_t start = static_cast<std::size_t>(x0);
    const std::size_t run = static_cast<std::size_t>(x1 - x0) + 1;
    const std::size_t padding = static_cast<std::size_t>(canvas_columns - image_width);

    // A fill across the image's whole width leaves every row it covers with
    // the same pens, as long as their padding agrees: those rows all take
    // one slot.
    const bool whole_width = x0 == 0 && x1 == image_width - 1;
    int whole = -1;

    Replacement made[REMEMBERED];
    int made_count = 0;
    int made_next = 0;

    for (int y = y0; y <= y1; y++) {
        const int old = row_slot[y];
        if (slot_pinned[old]) {
            std::memset(pens_of(old) + start, pen, run);
            continue;
        }
        if (whole >= 0 &&
            std::memcmp(pens_of(old) + image_width, pens_of(whole) + image_width,
                        padding) == 0) {
            point_row(y, whole);
            continue;
        }
        int replacement = -1;
        for (int i = 0; i < made_count; i++)
            if (made[i].old_slot == old)
                replacement = made[i].new_slot;
        if (replacement >= 0) {
            point_row(y, replacement);
            continue;
        }
        if (slot_users[old] == 1) {
            // No other row shares it: change it where it is.
            std::memset(pens_of(old) + start, pen, run);
            if (whole_width && whole < 0)
                whole = old;
            continue;
        }
        const int slot = copy_slot(old);
        std::memset(pens_of(slot) + start, pen, run);
        made[made_next] = Replacement{old, slot};
        made_next = (made_next + 1) % REMEMBERED;
        if (made_count < REMEMBERED)
            made_count++;
        if (whole_width && whole < 0)
            whole = slot;
        point_row(y, slot);
    }
}
