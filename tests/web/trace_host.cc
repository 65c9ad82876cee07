// A native host of the library that prints every call it gets, for the
// comparison with the WebAssembly module.  Reads cases from standard input,
// one a line: hour minute second width height border.  For each it prints
//   pen P
//   fill X0 Y0 X1 Y1
// as the library calls them, or "failure MESSAGE" when the library refuses
// the size (bytes outside printable ASCII, and the backslash, as \xHH),
// then "end".

#include "face_layout.h"
#include "quadface.h"

#include <cstdio>

namespace {

// The library's ending, caught here so that the host goes on.
struct LayoutFailure {
    const char *message;
};

}  // namespace

void face_layout_failure(const char *message) { throw LayoutFailure{message}; }

extern "C" void face_set_pen(int pen) { std::printf("pen %d\n", pen); }

extern "C" void face_fill(int x0, int y0, int x1, int y1) {
    std::printf("fill %d %d %d %d\n", x0, y0, x1, y1);
}

int main() {
    int hour, minute, second, width, height, border;
    while (std::scanf("%d %d %d %d %d %d", &hour, &minute, &second, &width, &height,
                      &border) == 6) {
        try {
            face_draw(hour, minute, second, width, height, border);
        } catch (const LayoutFailure &failure) {
            std::fputs("failure ", stdout);
            for (const char *c = failure.message; *c != '\0'; c++) {
                const auto byte = static_cast<unsigned char>(*c);
                if (byte >= 0x20 && byte < 0x7f && byte != '\\')
                    std::putchar(byte);
                else
                    std::printf("\\x%02x", byte);
            }
            std::putchar('\n');
        }
        std::puts("end");
    }
    return 0;
}
