#ifndef TRESSMOOR_APP_MESHCOMMANDS_H
#define TRESSMOOR_APP_MESHCOMMANDS_H

#include <string>

class HairSettings;

// Asks which mesh file to open, under the title and in the folder given; an
// empty string when the person cancels. Tests replace it to answer without a
// modal chooser.
extern std::string (*chooseMeshPath)(const std::string& title, const std::string& folder);
std::string chooseMeshThroughDialog(const std::string& title, const std::string& folder);

// "Mesh...": asks for a mesh file and opens it.
void openMeshThroughChooser(HairSettings& settings);

// Read the mesh, fit it into the view and grow hair on it from the settings, as
// picking a shape does. A bad file is shown in one line and changes nothing.
bool openMeshFile(HairSettings& settings, const std::string& path);

#endif
