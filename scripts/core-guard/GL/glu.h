#error "geometry/ and hair/ form the headless core: no GL, GLU, FLTK or X11 header here"
