// The clock face: layout for a size and border, the square pushed away from
// the minute side, the rolling hour marker and the minute bars.
//
// Single and double precision are mixed on purpose below: the place of the
// square, the advance of the hour marker and the length of a bar are
// truncated after adding 0.5, and the precision of each step decides which
// side of a pixel boundary the result falls on.  Every float() is a rounding
// to single precision that the picture depends on.

#include "face_layout.h"
#include "quadface.h"

#include <cmath>

namespace {

FaceLayout layout;

// The smallest bar length with the parity of the side whose fivefold covers
// the side, found the way the face has always found it.
int bar_length_for(int side) {
    int q = (side - 2 * (side / 5)) / 3;
    if (q % 2 != side % 2)
        q -= 1;
    while (q < (side - 3 * q) / 2)
        q += 2;
    return q;
}

int wrap(int value, int modulus) {
    int r = value % modulus;
    return r < 0 ? r + modulus : r;
}

// Sides a stack of bars can stand on.
enum Side { ABOVE, BELOW, RIGHT, LEFT };

// Draws one stack of up to five bars, from the square outward.  Only the
// size of delta, the distance in minutes from the tick's mark, matters.
void bars(Side side, int slot, float delta) {
    float stack_level = float(5.0 - std::fabs(double(delta)));
    const int pitch = layout.bar_gap + layout.bar_thickness;
    const bool outward_up = side == ABOVE || side == RIGHT;
    int p = outward_up ? layout.square_size + layout.bar_gap : -pitch;
    const int ox = layout.origin_x;
    const int oy = layout.origin_y;
    const int t = layout.bar_thickness;

    for (int i = 0; i < 5; i++) {
        int n = int(double(float(float(layout.bar_length) * stack_level)) + 0.5);
        if (n > layout.bar_length)
            n = layout.bar_length;
        if (n <= 0)
            return;
        const int start = slot + (layout.bar_length - n) / 2;
        if (side == ABOVE || side == BELOW)
            face_fill(ox + start, oy + p, ox + start + n - 1, oy + p + t - 1);
        else
            face_fill(ox + p, oy + start, ox + p + t - 1, oy + start + n - 1);
        p += outward_up ? pitch : -pitch;
        stack_level = float(stack_level - 1.0);
    }
}

void bars_above(int slot, float delta) { bars(ABOVE, slot, delta); }
void bars_below(int slot, float delta) { bars(BELOW, slot, delta); }
void bars_right(int slot, float delta) { bars(RIGHT, slot, delta); }
void bars_left(int slot, float delta) { bars(LEFT, slot, delta); }

// The twelve five-minute places, clockwise from the top: the side of the
// square each stands on and the slot along that side.
struct Tick {
    Side side;
    int slot;
};
constexpr Tick ticks[12] = {
    {ABOVE, 1}, {ABOVE, 2}, {RIGHT, 2}, {RIGHT, 1}, {RIGHT, 0}, {BELOW, 2},
    {BELOW, 1}, {BELOW, 0}, {LEFT, 0},  {LEFT, 1},  {LEFT, 2},  {ABOVE, 0},
};

void draw_tick(int k, float delta) {
    const int slot = layout.bar_slot[ticks[k].slot];
    switch (ticks[k].side) {
    case ABOVE: bars_above(slot, delta); break;
    case BELOW: bars_below(slot, delta); break;
    case RIGHT: bars_right(slot, delta); break;
    case LEFT: bars_left(slot, delta); break;
    }
}

// The two stacks around the current minute: the nearer mark has the fuller
// stack, and on a mark the next place is empty.
void draw_minute_bars(int minute, int second) {
    const float minute_position = float(second / 60.0 + minute);
    for (int k = 0; k < 12; k++) {
        if (k == 0) {
            if (minute <= 4)
                draw_tick(0, minute_position);
            else if (minute >= 55)
                draw_tick(0, float(minute_position - 60.0));
        } else if (minute >= 5 * k - 5 && minute <= 5 * k + 4) {
            draw_tick(k, float(minute_position - 5.0 * k));
        }
    }
}

// One end of a fill of the hour marker: a cell edge moved by some multiple
// of the marker's advance (-1, 0 or +1).
struct Edge {
    int index;
    int sign;
};
struct HourFill {
    Edge x0, x1, y0, y1;
};

// For each hour, the pivot plus what is left of the trailing cell, then the
// grown part of the leading cell (at 3 and 11 o'clock with the pivot again).
constexpr HourFill hour_fills[12][2] = {
    {{{2, 0}, {3, 0}, {2, 1}, {5, 0}}, {{4, 0}, {3, 1}, {4, 0}, {5, 0}}},
    {{{2, 1}, {5, 0}, {4, 0}, {5, 0}}, {{4, 0}, {5, 0}, {4, -1}, {3, 0}}},
    {{{4, 0}, {5, 0}, {2, 0}, {5, -1}}, {{4, -1}, {3, 0}, {2, 0}, {3, 0}}},
    {{{2, 1}, {5, 0}, {2, 0}, {3, 0}}, {{4, 0}, {5, 0}, {2, -1}, {3, 0}}},
    {{{4, 0}, {5, 0}, {0, 0}, {3, -1}}, {{4, -1}, {3, 0}, {0, 0}, {1, 0}}},
    {{{2, 0}, {5, -1}, {0, 0}, {1, 0}}, {{2, 0}, {3, 0}, {2, 0}, {1, 1}}},
    {{{2, 0}, {3, 0}, {0, 0}, {3, -1}}, {{2, -1}, {1, 0}, {0, 0}, {1, 0}}},
    {{{0, 0}, {3, -1}, {0, 0}, {1, 0}}, {{0, 0}, {1, 0}, {2, 0}, {1, 1}}},
    {{{0, 0}, {1, 0}, {0, 1}, {3, 0}}, {{2, 0}, {1, 1}, {2, 0}, {3, 0}}},
    {{{0, 0}, {3, -1}, {2, 0}, {3, 0}}, {{0, 0}, {1, 0}, {4, 0}, {3, 1}}},
    {{{0, 0}, {1, 0}, {2, 1}, {5, 0}}, {{2, 0}, {1, 1}, {4, 0}, {5, 0}}},
    {{{0, 1}, {3, 0}, {4, 0}, {5, 0}}, {{2, 0}, {3, 0}, {4, -1}, {5, 0}}},
};

int edge_at(Edge e, int advance) {
    return layout.cell_edge[e.index] + e.sign * advance;
}

// The hour marker rolls like a domino through the grid; advance is how many
// pixel rows or columns it has moved on within the hour.
void draw_hour_marker(int hour, int minute, int second) {
    const float hour_position = float((minute / 60.0 + hour) + second / 3600.0);
    int advance;
    if (hour == 0)
        advance = int(double(float(hour_position * float(layout.cell_size))) + 0.5);
    else
        advance = int((double(hour_position) - hour) * layout.cell_size + 0.5);

    for (const HourFill &f : hour_fills[hour])
        face_fill(layout.origin_x + edge_at(f.x0, advance),
                  layout.origin_y + edge_at(f.y0, advance),
                  layout.origin_x + edge_at(f.x1, advance),
                  layout.origin_y + edge_at(f.y1, advance));
}

// How far the square is pushed from the centre on each axis, by minute: it
// sits away from the side where a minute hand would point and slides across
// in the ten minutes around each quarter.
void square_shift(int minute, int second, float travel_x, float travel_y,
                  float &shift_x, float &shift_y) {
    const int m = minute >= 55 ? minute - 60 : minute;
    const float t = float(m + second / 60.0);
    if (minute <= 4 || minute >= 55) {
        shift_x = float(travel_x * (t / -5.0));
        shift_y = -travel_y;
    } else if (minute <= 9) {
        shift_x = -travel_x;
        shift_y = -travel_y;
    } else if (minute <= 19) {
        shift_x = -travel_x;
        shift_y = float(travel_y * ((t - 15.0) / 5.0));
    } else if (minute <= 24) {
        shift_x = -travel_x;
        shift_y = travel_y;
    } else if (minute <= 34) {
        shift_x = float(travel_x * ((t - 30.0) / 5.0));
        shift_y = travel_y;
    } else if (minute <= 39) {
        shift_x = travel_x;
        shift_y = travel_y;
    } else if (minute <= 49) {
        shift_x = travel_x;
        shift_y = float(travel_y * ((45.0 - t) / 5.0));
    } else {
        shift_x = travel_x;
        shift_y = -travel_y;
    }
}

int origin_for(int extent, float shift) {
    const float room = float(float(extent - layout.square_size) + shift);
    return int(double(room) * 0.5 + 0.5);
}

}  // namespace

const FaceLayout &face_current_layout() { return layout; }

void face_layout(int width, int height, int border) {
    if (width < FACE_MIN_SIZE || height < FACE_MIN_SIZE)
        face_layout_failure("Quadface: too small\n");
    // Computed in 64 bits, so that no border can overflow the test.
    if (border > 0 && (width - 2LL * border < FACE_MIN_SIZE ||
                       height - 2LL * border < FACE_MIN_SIZE))
        face_layout_failure("Quadface: border too large for size\n");
    // Beyond this the placement, in single precision, no longer falls on
    // whole pixels and puts parts of the face outside the image.  Every sum
    // below stays far inside an int up to it.
    if (width > FACE_MAX_SIZE || height > FACE_MAX_SIZE)
        face_layout_failure("Quadface: too large\n");

    if (width == layout.cached_width && height == layout.cached_height &&
        (border == layout.cached_border || (border < 0 && layout.cached_border < 0)))
        return;

    layout.cached_width = width;
    layout.cached_height = height;
    layout.cached_border = border;

    const int side = width < height ? width : height;
    if (border >= 0)
        layout.border_used = border;
    else if (side >= 23 && side <= 59)
        layout.border_used = 1;
    else
        layout.border_used = side / 60;

    const int inner = side - 2 * layout.border_used;
    layout.margin = (inner + 20) / 30;
    const int bar_pitch = (inner + 9) / 15;
    layout.bar_zone = 5 * bar_pitch;
    layout.bar_gap = (layout.bar_zone + 5) / 15;
    layout.bar_thickness = bar_pitch - layout.bar_gap;
    layout.cell_size = (inner - layout.bar_zone - 2 * layout.margin) / 3;
    layout.square_size = 2 * layout.margin + 3 * layout.cell_size;

    const int l = layout.square_size;
    layout.bar_length = bar_length_for(l);

    for (int i = 0; i < 3; i++) {
        layout.cell_edge[2 * i] = layout.margin + i * layout.cell_size;
        layout.cell_edge[2 * i + 1] = layout.margin + (i + 1) * layout.cell_size - 1;
    }
    layout.bar_slot[0] = 0;
    layout.bar_slot[1] = (l - layout.bar_length) / 2;
    layout.bar_slot[2] = l - layout.bar_length;
}

extern "C" void face_draw(int hour, int minute, int second, int width,
                          int height, int border) {
    face_layout(width, height, border);

    hour = wrap(hour, 12);
    minute = wrap(minute, 60);
    second = wrap(second, 60);

    face_set_pen(PEN_BACKGROUND);
    face_fill(0, 0, width - 1, height - 1);

    // The room the square needs with a band of bars on both sides; an axis
    // that has it keeps the square centred.
    const int total = layout.square_size + 2 * layout.bar_zone + 2 * layout.border_used;
    const float travel_x = total > width ? float(total - width) : 0.0f;
    const float travel_y = total > height ? float(total - height) : 0.0f;
    float shift_x;
    float shift_y;
    square_shift(minute, second, travel_x, travel_y, shift_x, shift_y);
    layout.origin_x = origin_for(width, shift_x);
    layout.origin_y = origin_for(height, shift_y);

    const int ox = layout.origin_x;
    const int oy = layout.origin_y;
    const int s = layout.square_size;
    const int m = layout.margin;
    const int c = layout.cell_size;
    face_set_pen(PEN_SQUARE);
    face_fill(ox, oy, ox + s - 1, oy + s - 1);
    face_set_pen(PEN_INSIDE);
    face_fill(ox + m, oy + m, ox + m + 3 * c - 1, oy + m + 3 * c - 1);

    face_set_pen(PEN_HOUR);
    draw_hour_marker(hour, minute, second);

    face_set_pen(PEN_MINUTE);
    draw_minute_bars(minute, second);
}
