// The cairo functions that pictures are drawn with, taken from the
// system's cairo library when the first picture is drawn. Linking cairo
// made every process load it and the dozen libraries it needs (X11,
// fontconfig, freetype, ...), 3.4 ms of each kyhost start, also for calls
// that draw nothing.
#pragma once

#include <cairo-svg.h>
#include <cairo.h>

namespace ky::inspect {

#define KY_CAIRO_FUNCTIONS(X)                                                                                      \
    X(arc) X(clip) X(close_path) X(create) X(destroy) X(fill) X(image_surface_create) X(line_to) X(move_to)       \
    X(new_path) X(new_sub_path) X(paint) X(rectangle) X(restore) X(save) X(scale) X(select_font_face) X(set_dash) \
    X(set_font_size) X(set_line_width) X(set_source_rgb) X(set_source_rgba) X(show_text) X(status)               \
    X(status_to_string) X(stroke) X(surface_destroy) X(surface_finish) X(surface_flush) X(surface_status)         \
    X(surface_write_to_png_stream) X(svg_surface_create_for_stream) X(svg_surface_set_document_unit)             \
    X(text_extents)

// cairo_NAME as member NAME.
struct CairoLibrary {
#define KY_CAIRO_MEMBER(name) decltype(&::cairo_##name) name = nullptr;
    KY_CAIRO_FUNCTIONS(KY_CAIRO_MEMBER)
#undef KY_CAIRO_MEMBER
};

// Loads the library on first use. Throws std::runtime_error naming what is
// missing when it cannot; a later call tries again.
const CairoLibrary& cairo();

}  // namespace ky::inspect
