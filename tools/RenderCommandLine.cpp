#include "tools/RenderCommandLine.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "formats/FileIo.h"

namespace {

struct DisplayName {
    const char* name;
    DisplayMode mode;
};

constexpr DisplayName kDisplayNames[] = {{"wireframe", DisplayMode::Wireframe},
                                         {"smooth", DisplayMode::Smooth},
                                         {"texture", DisplayMode::Texture}};

constexpr const char* kPngExtension = ".png";

// "A<separator>B", both parts non-empty.
bool splitPair(const std::string& text, char separator, std::string& first, std::string& second)
{
    const size_t at = text.find(separator);
    if (at == std::string::npos || text.find(separator, at + 1) != std::string::npos) {
        return false;
    }
    first = text.substr(0, at);
    second = text.substr(at + 1);
    return !first.empty() && !second.empty();
}

bool parseDisplay(const std::string& text, PictureOptions& options)
{
    for (const DisplayName& display : kDisplayNames) {
        if (text == display.name) {
            options.displayMode = display.mode;
            return true;
        }
    }
    return false;
}

bool parseSize(const std::string& text, PictureOptions& options)
{
    std::string widthText;
    std::string heightText;
    return splitPair(text, 'x', widthText, heightText) &&
           parseOptionNumber(widthText, kPictureSideRange, options.width) &&
           parseOptionNumber(heightText, kPictureSideRange, options.height);
}

bool parseAngle(const std::string& text, float& degrees)
{
    double value = 0.0;
    if (!parseDecimal(text, kMaxRotationDegrees, value)) {
        return false;
    }
    degrees = static_cast<float>(value);
    return true;
}

bool parseRotationX(const std::string& text, PictureOptions& options)
{
    return parseAngle(text, options.view.rotationX);
}

bool parseRotationZ(const std::string& text, PictureOptions& options)
{
    return parseAngle(text, options.view.rotationZ);
}

bool parseTranslation(const std::string& text, PictureOptions& options)
{
    std::string xText;
    std::string yText;
    double x = 0.0;
    double y = 0.0;
    if (!splitPair(text, ',', xText, yText) || !parseDecimal(xText, kMaxTranslation, x) ||
        !parseDecimal(yText, kMaxTranslation, y)) {
        return false;
    }
    options.view.translationX = static_cast<float>(x);
    options.view.translationY = static_cast<float>(y);
    return true;
}

// The limits are floats, so the factor is compared as the float it becomes.
bool parseZoom(const std::string& text, PictureOptions& options)
{
    double value = 0.0;
    if (!parseDecimal(text, kMaxZoomFactor, value)) {
        return false;
    }
    const float factor = static_cast<float>(value);
    if (factor < kMinZoomFactor || factor > kMaxZoomFactor) {
        return false;
    }
    options.view.zoomFactor = factor;
    return true;
}

bool parseTurntable(const std::string& text, PictureOptions& options)
{
    return parseOptionNumber(text, kTurntableRange, options.turntable);
}

std::string displayChoices(const char* separator, const char* lastSeparator)
{
    std::string text;
    const size_t count = sizeof kDisplayNames / sizeof kDisplayNames[0];
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text += i + 1 == count ? lastSeparator : separator;
        }
        text += kDisplayNames[i].name;
    }
    return text;
}

std::string numberText(double value)
{
    char text[32];
    snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string numbersFrom(double low, double high)
{
    return "a number from " + numberText(low) + " to " + numberText(high);
}

// What each option with a value accepts, as its error and its help say it.
std::string displayAccepts()
{
    return displayChoices(", ", " or ");
}

std::string sizeAccepts()
{
    return "WIDTHxHEIGHT, each a whole number " + describeRange(kPictureSideRange);
}

std::string rotationAccepts()
{
    return numbersFrom(-kMaxRotationDegrees, kMaxRotationDegrees) + " (degrees)";
}

std::string translationAccepts()
{
    return "X,Y, each " + numbersFrom(-kMaxTranslation, kMaxTranslation);
}

std::string zoomAccepts()
{
    return numbersFrom(kMinZoomFactor, kMaxZoomFactor);
}

std::string turntableAccepts()
{
    return "a whole number " + describeRange(kTurntableRange);
}

struct ValuedOption {
    const char* option;
    bool (*parse)(const std::string& text, PictureOptions& options);
    std::string (*accepts)();
};

constexpr ValuedOption kValuedOptions[] = {
    {"--display", parseDisplay, displayAccepts},
    {"--size", parseSize, sizeAccepts},
    {"--rotate-x", parseRotationX, rotationAccepts},
    {"--rotate-z", parseRotationZ, rotationAccepts},
    {"--translate", parseTranslation, translationAccepts},
    {"--zoom", parseZoom, zoomAccepts},
    {"--turntable", parseTurntable, turntableAccepts},
};

// A flag's whole meaning is its presence; "--control-points=no" would mislead.
OptionResult readFlag(ArgumentReader& reader, bool& flag, std::string& message)
{
    if (reader.hasInlineValue()) {
        message = "option " + reader.option() + " takes no value";
        return OptionResult::Bad;
    }
    flag = true;
    return OptionResult::Taken;
}

OptionResult readImage(ArgumentReader& reader, PictureOptions& options, std::string& message)
{
    if (!reader.takeValue(options.image) || options.image.empty()) {
        message = "--image needs a file name";
        return OptionResult::Bad;
    }
    if (!hasExtension(options.image, kPngExtension)) {
        message = "--image must name a .png file";
        return OptionResult::Bad;
    }
    return OptionResult::Taken;
}

}  // namespace

OptionResult readPictureOption(ArgumentReader& reader, PictureOptions& options, std::string& message)
{
    const std::string& option = reader.option();
    if (option == "--image") {
        return readImage(reader, options, message);
    }
    if (option == "--control-points") {
        return readFlag(reader, options.controlPoints, message);
    }
    if (option == "--control-polygon") {
        return readFlag(reader, options.controlPolygon, message);
    }
    for (const ValuedOption& valued : kValuedOptions) {
        if (option == valued.option) {
            std::string value;
            if (!reader.takeValue(value) || !valued.parse(value, options)) {
                message = option + " must be " + valued.accepts();
                return OptionResult::Bad;
            }
            return OptionResult::Taken;
        }
    }
    return OptionResult::NotMine;
}

std::string pictureOptionsHelp()
{
    const std::string angles = numberText(-kMaxRotationDegrees) + " to " +
                               numberText(kMaxRotationDegrees) + " (default 0)";
    std::string text = helpLine("--image FILE.png", "the picture to write; required");
    text += helpLine("--display MODE", displayChoices(", ", " or ") + " (default wireframe)");
    text += helpLine("--size WIDTHxHEIGHT", "each " + describeLimits(kPictureSideRange) +
                                                " (default " + std::to_string(kViewWidth) + "x" +
                                                std::to_string(kViewHeight) + ", the view's)");
    text += helpLine("--rotate-x DEG", "tilt about x, added to the view's own 30 degrees,");
    text += helpLine("", angles);
    text += helpLine("--rotate-z DEG", "turn about z, taken from the view's own 30 degrees,");
    text += helpLine("", angles);
    text += helpLine("--translate X,Y", "move right and down in scene units, each");
    text += helpLine("", numberText(-kMaxTranslation) + " to " + numberText(kMaxTranslation) +
                             " (default 0,0)");
    text += helpLine("--zoom F", "scale, " + numberText(kMinZoomFactor) + " to " +
                                     numberText(kMaxZoomFactor) + " (default 1)");
    text += helpLine("--control-points", "mark the control points as yellow dots");
    text += helpLine("--control-polygon", "join them with magenta lines");
    text += helpLine("--turntable N", "write N pictures FILE-000.png, FILE-001.png, ...");
    text += helpLine("", "turning the view about z through 360 degrees in");
    text += helpLine("", "equal steps from --rotate-z; N is " + describeLimits(kTurntableRange));
    return text;
}

std::string turntableFrameName(const std::string& image, int frame)
{
    const size_t stem = hasExtension(image, kPngExtension)
                            ? image.size() - std::string(kPngExtension).size()
                            : image.size();
    char number[16];
    snprintf(number, sizeof number, "-%03d", frame);
    return image.substr(0, stem) + number + image.substr(stem);
}
