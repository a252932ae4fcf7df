#include "app/ProgramText.h"

const MenuSummary kMenuSummaries[kMenuCount] = {
    {"File", "save the hair as .hair, .obj or .usda; load a .hair file"},
    {"Under Lying Shape", "grow hair on a plane, a sphere, a torus or a Mesh... file"},
    {"Style", "messy or combed hair, grown again at once"},
    {"Model", "control points and polygon; wireframe, smooth, textured"},
    {"View", "what a press or drag in the view does: turn, move, zoom"},
    {"Exit", "quit at once"},
};

namespace {

constexpr size_t kNameColumn = 21;

std::string column(const std::string& name, const std::string& text)
{
    const std::string indented = "  " + name;
    return indented + std::string(indented.size() < kNameColumn ? kNameColumn - indented.size() : 1, ' ') +
           text + "\n";
}

}  // namespace

std::string menuBarTooltip()
{
    std::string text;
    for (const MenuSummary& m : kMenuSummaries) {
        text += std::string(text.empty() ? "" : "\n") + m.menu + ": " + m.summary + ".";
    }
    return text;
}

std::string programHelp()
{
    std::string text =
        "Usage: tressmoor [--help | --version]\n"
        "\n"
        "Tressmoor is an interactive hair and fur modeller. It grows clusters of hair\n"
        "strands on a plane, a sphere, a torus or a mesh of your own and shows them in\n"
        "an OpenGL view that the mouse turns, moves and zooms. It opens one window\n"
        "with a menu bar, the view, five sliders and the Render Hair button; pick a\n"
        "shape from Under Lying Shape to begin.\n"
        "\n"
        "Menus:\n";
    for (const MenuSummary& m : kMenuSummaries) {
        text += column(m.menu, m.summary);
    }
    text += "\n"
            "Companion tools, which need no display:\n" +
            column("tressmoor-grow", "grow hair as the window does and write it to a file") +
            column("tressmoor-render", "draw hair as the window shows it into a PNG picture") +
            column("tressmoor-convert", "convert a HAIR file to USD curves, OBJ polylines or HAIR") +
            "\n"
            "Options:\n" +
            column("-h, --help", "show this text and end without opening the window") +
            column("--version", "show the program's name and version and end") +
            "\n"
            "Any other argument is ignored. Exit status: 0 when the window is closed, 1\n"
            "through Exit.\n";
    return text;
}
