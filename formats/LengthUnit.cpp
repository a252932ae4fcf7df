#include "formats/LengthUnit.h"

namespace {

struct UnitEntry {
    LengthUnit unit;
    const char* name;
    double meters;
};

// 0.0254 m is the inch by definition.
constexpr UnitEntry kUnits[] = {
    {LengthUnit::Millimetre, "mm", 0.001},
    {LengthUnit::Centimetre, "cm", 0.01},
    {LengthUnit::Metre, "m", 1.0},
    {LengthUnit::Inch, "in", 0.0254},
};

const UnitEntry& entryOf(LengthUnit unit)
{
    for (const UnitEntry& entry : kUnits) {
        if (entry.unit == unit) {
            return entry;
        }
    }
    return kUnits[0];
}

}  // namespace

const char* lengthUnitName(LengthUnit unit)
{
    return entryOf(unit).name;
}

bool lengthUnitFromName(const std::string& name, LengthUnit& unit)
{
    for (const UnitEntry& entry : kUnits) {
        if (name == entry.name) {
            unit = entry.unit;
            return true;
        }
    }
    return false;
}

std::string lengthUnitChoices(const char* separator, const char* lastSeparator)
{
    const size_t count = sizeof kUnits / sizeof kUnits[0];
    std::string text;
    for (size_t k = 0; k < count; ++k) {
        if (k > 0) {
            text += k + 1 == count ? lastSeparator : separator;
        }
        text += kUnits[k].name;
    }
    return text;
}

double metersPerUnit(LengthUnit unit)
{
    return entryOf(unit).meters;
}
