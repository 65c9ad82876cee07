/*
 * Quadface: draws the clock face for a time of day through two primitives
 * that the host program defines.  Usable from C and C++.
 */
#ifndef QUADFACE_H
#define QUADFACE_H

#ifdef __cplusplus
extern "C" {
#endif

/* Colour roles; each host maps them to real colours. */
enum {
    PEN_BACKGROUND = 0, /* the whole image behind everything, border included */
    PEN_INSIDE = 1,     /* the 3 x 3 cells of the square */
    PEN_SQUARE = 2,     /* the rim of the square */
    PEN_HOUR = 3,       /* the hour marker */
    PEN_MINUTE = 4      /* the minute bars */
};

/* The smallest width and height the face can be laid out in. */
enum { FACE_MIN_SIZE = 21 };

/*
 * The largest width and height it is drawn in: up to here every coordinate
 * of its single-precision placement is a whole number a float holds exactly.
 */
enum { FACE_MAX_SIZE = 1 << 24 };

/*
 * Draws the whole face: hour, minute and second may be any integers (they
 * are taken modulo 12, 60 and 60); border is a pixel count, or negative to
 * let the library choose it from the size.  A size it cannot lay out (a
 * side below FACE_MIN_SIZE or above FACE_MAX_SIZE, a border that leaves less
 * than FACE_MIN_SIZE) ends the process with status 1 and a message, before
 * any primitive is called.
 */
void face_draw(int hour, int minute, int second, int width, int height,
               int border);

/*
 * Defined by the host.  Coordinates: x from 0 at the left, y from 0 at the
 * bottom row growing upward; both corners belong to the rectangle.  A fill
 * with x1 < x0 or y1 < y0 is empty and paints nothing.
 */
void face_set_pen(int pen);
void face_fill(int x0, int y0, int x1, int y1);

#ifdef __cplusplus
}
#endif

#endif
