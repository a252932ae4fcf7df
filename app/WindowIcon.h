#ifndef TRESSMOOR_APP_WINDOWICON_H
#define TRESSMOOR_APP_WINDOWICON_H

// The program's icon, the one its desktop entry names, as PNG files built
// into the program (packaging/icons, embedded by the build).
struct EmbeddedPng {
    const unsigned char* bytes;
    int size;
};
extern const EmbeddedPng kWindowIconFiles[];
extern const int kWindowIconCount;

// Make the icon the default of every window shown from now on, so the window
// manager's title bar, task bar and window switcher show it.
void useWindowIcon();

#endif
