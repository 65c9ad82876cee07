#include "face_fills.h"

#include "quadface.h"

#include <algorithm>

namespace {

// The list being recorded, with the place of its face.
FaceFills *recording;
int current_pen;

// Scratch of changed_boxes: the edges of the grid, and the boxes still open
// at the band above, which grow downward while the next band changes over
// the same columns.
std::vector<int> xs;
std::vector<int> ys;
std::vector<int> open;  // indexes into the boxes found
std::vector<int> still_open;

// What the pixel at x, y looks like in face: the colour of the pen that
// paints it last (the pen itself without colours), or -1 when none does.
long long look_at(const FaceFills &face, const std::uint32_t *colours, int x, int y) {
    for (int i = face.count - 1; i >= 0; i--) {
        const Box &b = face.fills[i].box;
        if (x >= b.x && x < b.x + b.width && y >= b.y && y < b.y + b.height) {
            const int pen = face.fills[i].pen;
            return colours != nullptr ? colours[pen] : pen;
        }
    }
    return -1;
}

// The edges of every box of both lists along one axis, sorted, each once:
// between two neighbouring edges every fill either covers a whole band or
// none of it, so one pixel of each cell of the grid speaks for the cell.
void collect_edges(const FaceFills &a, const FaceFills &b, bool along_x, std::vector<int> &edges) {
    edges.clear();
    for (const FaceFills *face : {&a, &b}) {
        const Box &area = face->area;
        edges.push_back(along_x ? area.x : area.y);
        edges.push_back(along_x ? area.x + area.width : area.y + area.height);
        for (int i = 0; i < face->count; i++) {
            const Box &box = face->fills[i].box;
            edges.push_back(along_x ? box.x : box.y);
            edges.push_back(along_x ? box.x + box.width : box.y + box.height);
        }
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
}

bool same_box(const Box &a, const Box &b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

}  // namespace

void record_face(FaceFills &into, int hour, int minute, int second, int width, int height,
                 int border, int left, int top) {
    into.area = Box{left, top, width, height};
    into.count = 0;
    recording = &into;
    face_draw(hour, minute, second, width, height, border);
    recording = nullptr;
}

void note_pen(int pen) { current_pen = pen; }

void note_fill(int x0, int y0, int x1, int y1) {
    if (recording == nullptr || x1 < x0 || y1 < y0)
        return;
    FaceFills &face = *recording;
    // The face counts rows from the bottom.
    const Box box{face.area.x + x0, face.area.y + face.area.height - 1 - y1, x1 - x0 + 1,
                  y1 - y0 + 1};
    if (face.count < MAX_FACE_FILLS)
        face.fills[face.count++] = FaceFill{current_pen, box};
}

bool same_face(const FaceFills &a, const FaceFills &b) {
    if (!same_box(a.area, b.area) || a.count != b.count)
        return false;
    for (int i = 0; i < a.count; i++)
        if (a.fills[i].pen != b.fills[i].pen || !same_box(a.fills[i].box, b.fills[i].box))
            return false;
    return true;
}

void changed_boxes(const FaceFills &before, const FaceFills &after, std::vector<Box> &out,
                   const std::uint32_t *colours) {
    out.clear();
    if (after.count == 0)
        return;
    if (before.count == 0 || !same_box(before.area, after.area)) {
        out.push_back(after.area);
        return;
    }
    if (same_face(before, after))
        return;

    collect_edges(before, after, true, xs);
    collect_edges(before, after, false, ys);
    open.clear();
    for (std::size_t j = 0; j + 1 < ys.size(); j++) {
        const int y = ys[j];
        still_open.clear();
        for (std::size_t i = 0; i + 1 < xs.size();) {
            if (look_at(before, colours, xs[i], y) == look_at(after, colours, xs[i], y)) {
                i++;
                continue;
            }
            std::size_t end = i + 1;
            while (end + 1 < xs.size() &&
                   look_at(before, colours, xs[end], y) != look_at(after, colours, xs[end], y))
                end++;
            const int x = xs[i];
            const int width = xs[end] - x;
            int grown = -1;
            for (int k : open) {
                Box &box = out[static_cast<std::size_t>(k)];
                if (box.x == x && box.width == width && box.y + box.height == y) {
                    box.height += ys[j + 1] - y;
                    grown = k;
                    break;
                }
            }
            if (grown < 0) {
                out.push_back(Box{x, y, width, ys[j + 1] - y});
                grown = static_cast<int>(out.size()) - 1;
            }
            still_open.push_back(grown);
            i = end;
        }
        open.swap(still_open);
    }
}

bool clip_box(Box &box, const Box &clip) {
    const long long x0 = std::max<long long>(box.x, clip.x);
    const long long y0 = std::max<long long>(box.y, clip.y);
    const long long x1 = std::min<long long>(0LL + box.x + box.width, 0LL + clip.x + clip.width);
    const long long y1 = std::min<long long>(0LL + box.y + box.height, 0LL + clip.y + clip.height);
    if (x1 <= x0 || y1 <= y0)
        return false;
    box = Box{static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
              static_cast<int>(y1 - y0)};
    return true;
}

void clip_boxes(std::vector<Box> &boxes, const Box &clip) {
    std::size_t kept = 0;
    for (Box box : boxes)
        if (clip_box(box, clip))
            boxes[kept++] = box;
    boxes.resize(kept);
}

long long box_area(const std::vector<Box> &boxes) {
    long long area = 0;
    for (const Box &box : boxes)
        area += static_cast<long long>(box.width) * box.height;
    return area;
}

void paint_fills(const FaceFills &face, const std::uint32_t colours[5], std::uint32_t *pixels,
                 int stride, const Box &clip) {
    for (int i = 0; i < face.count; i++) {
        Box box = face.fills[i].box;
        if (!clip_box(box, clip))
            continue;
        const std::uint32_t colour = colours[face.fills[i].pen];
        for (int y = box.y; y < box.y + box.height; y++) {
            std::uint32_t *row = pixels + static_cast<std::ptrdiff_t>(y) * stride + box.x;
            std::fill(row, row + box.width, colour);
        }
    }
}
