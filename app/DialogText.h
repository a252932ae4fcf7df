#ifndef TRESSMOOR_APP_DIALOGTEXT_H
#define TRESSMOOR_APP_DIALOGTEXT_H

#include <string>

// The text to give fl_alert or fl_message so that any message fits a dialog:
// control characters shown as escapes, lines wrapped at maxWidth pixels of the
// current font (words too long for a line, such as paths, are broken too), at
// most maxLines lines with the middle left out, and '@' doubled so that FLTK
// shows it instead of taking it for a symbol.
std::string dialogText(const std::string& text, int maxWidth, int maxLines);

// dialogText in the font of FLTK's message dialogs, at a width and a number of
// lines that fit the screen.
std::string messageDialogText(const std::string& text);

#endif
