#include "formats/MeshFiles.h"

#include <algorithm>
#include <cctype>

#include <assimp/Importer.hpp>

namespace {

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

MeshFileNames::MeshFileNames()
{
    // assimp lists them as "*.3ds;*.obj;...".
    std::string list;
    Assimp::Importer().GetExtensionList(list);
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) {
            end = list.size();
        }
        std::string ending = list.substr(start, end - start);
        if (ending.compare(0, 2, "*.") == 0 && ending.size() > 2) {
            endings.push_back(lowerCase(ending.substr(2)));
        }
        start = end + 1;
    }
}

bool MeshFileNames::matches(const std::string& name) const
{
    const std::string lower = lowerCase(name);
    for (const std::string& ending : endings) {
        if (lower.size() > ending.size() + 1 &&
            lower.compare(lower.size() - ending.size(), ending.size(), ending) == 0 &&
            lower[lower.size() - ending.size() - 1] == '.') {
            return true;
        }
    }
    return false;
}

std::string MeshFileNames::pattern() const
{
    std::string text = "*.{";
    for (size_t i = 0; i < endings.size(); ++i) {
        text += (i > 0 ? "," : "") + endings[i];
    }
    return text + "}";
}
