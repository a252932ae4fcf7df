#ifndef TRESSMOOR_TOOLS_RENDERCOMMANDLINE_H
#define TRESSMOOR_TOOLS_RENDERCOMMANDLINE_H

#include <string>

#include "tools/GrowthCommandLine.h"
#include "view/DrawPass.h"

// The picture options of tressmoor-render: what the view would show (display
// mode, camera, control nets), the picture's size and file, and the turntable.

// Each side of a picture: far beyond any screen, and still within memory; a
// 4096 x 4096 picture of the largest hair ran in 0.9 GB, a 2048 x 2048 in 0.3 GB.
inline constexpr SettingRange kPictureSideRange = {"size", 1, 4096, 1, 0};
// Three-digit frame numbers, FILE-000.png up to FILE-999.png.
inline constexpr SettingRange kTurntableRange = {"turntable", 1, 1000, 1, 0};
// Ten turns either way, and five orthographic boxes across: a float still
// holds such angles and offsets to far better than a pixel.
constexpr double kMaxRotationDegrees = 3600.0;
constexpr double kMaxTranslation = 1000.0;

struct PictureOptions {
    std::string image;
    DisplayMode displayMode = DisplayMode::Wireframe;
    int width = kViewWidth;
    int height = kViewHeight;
    ViewState view;
    bool controlPoints = false;
    bool controlPolygon = false;
    int turntable = 0;  // 0 for a single picture
};

// Read the reader's current option if it is a picture option. Bad sets message
// to the one-line error, which names the option and what it accepts.
OptionResult readPictureOption(ArgumentReader& reader, PictureOptions& options, std::string& message);

// The help lines of the picture options.
std::string pictureOptionsHelp();

// Frame k of a turntable: FILE.png becomes FILE-00k.png.
std::string turntableFrameName(const std::string& image, int frame);

#endif
