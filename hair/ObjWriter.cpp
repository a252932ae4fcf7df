#include "hair/ObjWriter.h"

#include <charconv>

void appendFloatText(std::string& out, float value)
{
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

std::vector<unsigned char> encodeObj(const HairFileContents& contents)
{
    const HairRecipe& recipe = contents.recipe;
    std::string text = "# " + formatRecipe(recipe) + "\n";
    for (size_t i = 0; i + 2 < contents.points.size(); i += 3) {
        text += "v ";
        appendFloatText(text, contents.points[i]);
        text += ' ';
        appendFloatText(text, contents.points[i + 1]);
        text += ' ';
        appendFloatText(text, contents.points[i + 2]);
        text += '\n';
    }
    // OBJ indices count from 1.
    size_t next = 1;
    const size_t strands = strandTotal(recipe);
    for (size_t s = 0; s < strands; ++s) {
        text += 'l';
        for (int r = 0; r < recipe.parts; ++r) {
            text += ' ';
            text += std::to_string(next++);
        }
        text += '\n';
    }
    return std::vector<unsigned char>(text.begin(), text.end());
}
