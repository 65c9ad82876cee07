// The face as the list of fills that made it, for the hosts that keep a
// picture on screen and send only what changed: the fills of one drawing,
// the places where two drawings differ, and the painting of a list into
// 32-bit pixels.
//
// Boxes here count rows from the top, as X, Wayland and a pixel buffer do:
// x and y are the top-left pixel, and a box covers width columns and
// height rows.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

struct Box {
    int x, y, width, height;
};

struct FaceFill {
    int pen;
    Box box;
};

// A face has eleven fills at the most (background, square, inside, two for
// the hour, six bars); empty ones are not kept.
constexpr int MAX_FACE_FILLS = 16;

struct FaceFills {
    Box area;   // where the face lies in its target; empty before a drawing
    int count;  // fills in use, in the order the library made them
    std::array<FaceFill, MAX_FACE_FILLS> fills;
};

// Draws the face for a time into into, through the library.  The hosts'
// face_set_pen and face_fill pass their calls on to note_pen and
// note_fill while it runs.  The face is width by height at left, top of
// the target.  A size the library refuses ends the process, as ever.
void record_face(FaceFills &into, int hour, int minute, int second, int width, int height,
                 int border, int left, int top);

void note_pen(int pen);
void note_fill(int x0, int y0, int x1, int y1);

// True when the two lists paint the same picture in the same place
// (equal lists, fill by fill).
bool same_face(const FaceFills &a, const FaceFills &b);

// The boxes where the picture of after differs from that of before, no
// pixel more: none when they are the same, after's whole area when before
// is empty or lies elsewhere or has another size.  With colours (one for
// each pen), pens of one colour look the same; without, every pen differs
// from the others.  The boxes do not overlap; out is replaced.
void changed_boxes(const FaceFills &before, const FaceFills &after, std::vector<Box> &out,
                   const std::uint32_t *colours = nullptr);

// Cuts box down to its part inside clip; false when nothing is left.
bool clip_box(Box &box, const Box &clip);

// Cuts every box down to its part inside clip, dropping those with none.
void clip_boxes(std::vector<Box> &boxes, const Box &clip);

// The pixels of the boxes together.
long long box_area(const std::vector<Box> &boxes);

// Paints the fills of face, each cut to clip, into a buffer of 32-bit
// pixels whose rows are stride pixels apart, with the colour of each pen.
void paint_fills(const FaceFills &face, const std::uint32_t colours[5], std::uint32_t *pixels,
                 int stride, const Box &clip);
