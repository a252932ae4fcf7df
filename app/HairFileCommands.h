#ifndef TRESSMOOR_APP_HAIRFILECOMMANDS_H
#define TRESSMOOR_APP_HAIRFILECOMMANDS_H

#include <string>

class Fl_Native_File_Chooser;
class HairSettings;

enum class HairFileMessage { Information, Problem };

// Shows what happened to a hair file in a dialog. Tests replace it to read the
// text instead of answering a modal dialog.
extern void (*showHairFileMessage)(HairFileMessage kind, const std::string& text);
// The default: an alert for a problem, a message otherwise, either made to fit
// the screen however long or strange the text.
void showHairFileMessageInDialog(HairFileMessage kind, const std::string& text);

extern const char* const kNothingToSaveMessage;

// "Save Hair Data": says so when there is no hair, otherwise asks where to save.
void saveHairThroughChooser(HairSettings& settings);
// "Load Hair Data": asks which file to load.
void loadHairThroughChooser(HairSettings& settings);

// The folder the file choosers open in: that of the last save or load, at first
// the working folder.
std::string chooserFolder(const HairSettings& settings);

// Save the current hair with the settings' recipe, and its children when it has
// them, as OBJ for a ".obj" path, USD curves for ".usda" and HAIR otherwise. Any failure is shown and leaves memory and old files alone.
bool saveHairFile(HairSettings& settings, const std::string& path);

// Load a HAIR file Tressmoor saved, or hair with children its tools wrote:
// settings, sliders, shape surface and strands, the children's options, then
// redraw. Any problem is shown and changes nothing.
bool loadHairFile(HairSettings& settings, const std::string& path);

// Show the chooser: the chosen path, or an empty string when the person cancels
// or the chooser fails (which is said in a message).
std::string runChooser(Fl_Native_File_Chooser& chooser);

#endif
