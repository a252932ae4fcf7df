#ifndef TRESSMOOR_FORMATS_MESHFILES_H
#define TRESSMOOR_FORMATS_MESHFILES_H

#include <string>
#include <vector>

// The file names assimp imports, by their endings, as the assimp on this
// machine lists them, so that every format it reads is offered and looked for.
class MeshFileNames {
public:
    MeshFileNames();

    // Whether the name ends in one of them, whatever the letters' case.
    bool matches(const std::string& name) const;
    // The endings as a file chooser's pattern: "*.{3ds,obj,ply,...}".
    std::string pattern() const;

    // Lower case, without the dot; "mesh.xml" for endings of two parts.
    std::vector<std::string> endings;
};

#endif
