// How the library ends the process on a size it cannot lay out.

#include "face_layout.h"

#include <cstdio>
#include <cstdlib>

void face_layout_failure(const char *message) {
    std::fputs(message, stderr);
    std::exit(1);
}
