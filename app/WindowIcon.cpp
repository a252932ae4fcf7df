#include "app/WindowIcon.h"

#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Window.H>

void useWindowIcon()
{
    const Fl_RGB_Image* images[8];
    int count = 0;
    for (int i = 0; i < kWindowIconCount && count < 8; ++i) {
        const EmbeddedPng& file = kWindowIconFiles[i];
        Fl_PNG_Image* image = new Fl_PNG_Image("tressmoor icon", file.bytes, file.size);
        // A picture that did not decode is left out; the window is shown without it.
        if (image->w() > 0 && image->h() > 0) {
            images[count++] = image;
        } else {
            delete image;
        }
    }
    // FLTK keeps copies of the pictures.
    Fl_Window::default_icons(images, count);
    for (int i = 0; i < count; ++i) {
        delete images[i];
    }
}
