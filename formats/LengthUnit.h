#ifndef TRESSMOOR_FORMATS_LENGTHUNIT_H
#define TRESSMOOR_FORMATS_LENGTHUNIT_H

#include <string>

// The length one unit of a file's coordinates stands for. Files only state it;
// the coordinates are the same whatever the unit.
enum class LengthUnit { Millimetre, Centimetre, Metre, Inch };

// Millimetres make the built-in shapes life-sized for hair: the sphere's radius
// of 100 is a head of 20 cm across, and a strand of length 10 is a few
// centimetres long.
inline constexpr LengthUnit kDefaultLengthUnit = LengthUnit::Millimetre;

// "mm", "cm", "m" and "in".
const char* lengthUnitName(LengthUnit unit);
bool lengthUnitFromName(const std::string& name, LengthUnit& unit);
// "mm, cm, m or in", or "mm|cm|m|in" with "|" for both separators.
std::string lengthUnitChoices(const char* separator = ", ", const char* lastSeparator = " or ");

// USD's metersPerUnit: 0.001 for millimetres.
double metersPerUnit(LengthUnit unit);

#endif
