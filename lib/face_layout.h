// The cached geometry of the face.  Private to the library; declared here
// so that the library's own tests can read it back.
#pragma once

#include <cstdint>

struct FaceLayout {
    std::int32_t cached_width;
    std::int32_t cached_height;
    std::int32_t cached_border;  // as requested: negative means automatic
    std::int32_t border_used;
    std::int32_t margin;         // width of the square's rim
    std::int32_t bar_zone;       // depth of a band of five bars
    std::int32_t bar_gap;
    std::int32_t bar_thickness;
    std::int32_t cell_size;
    std::int32_t square_size;
    std::int32_t bar_length;
    std::int32_t cell_edge[6];   // first and last coordinate of each grid column
    std::int32_t bar_slot[3];    // starts of a full bar along a side
    std::int32_t origin_x;       // lower-left corner of the square, set per drawing
    std::int32_t origin_y;
};

// Lays out the face for a size and a border request, or ends the process
// with the library's message when it cannot lay out that size.
void face_layout(int width, int height, int border);

// Writes the library's message, unadorned, to standard error and ends the
// process with status 1.  It has a file of its own, so that a test host can
// link its own version in its place and stay in the process.
[[noreturn]] void face_layout_failure(const char *message);

// The layout as it stands after the last face_layout or face_draw.
const FaceLayout &face_current_layout();
