// Put in front of lib/face.cc for the WebAssembly build (-include): the
// three functions the library calls but does not define become the module's
// imports from "env", under their plain names.  Any other undefined symbol
// stays an error of the link.
#pragma once

#define QUADFACE_IMPORT(name) __attribute__((import_module("env"), import_name(#name)))

// The page's side reads the message (NUL-terminated, in the module's
// memory) and throws, so the call never returns to the library.
[[noreturn]] void face_layout_failure(const char *message) QUADFACE_IMPORT(face_layout_failure);

extern "C" {
void face_set_pen(int pen) QUADFACE_IMPORT(face_set_pen);
void face_fill(int x0, int y0, int x1, int y1) QUADFACE_IMPORT(face_fill);
}
