#include "tools/UnitOption.h"

OptionResult readUnitOption(ArgumentReader& reader, LengthUnit& unit, std::string& message)
{
    if (reader.option() != "--units") {
        return OptionResult::NotMine;
    }
    std::string value;
    if (!reader.takeValue(value) || !lengthUnitFromName(value, unit)) {
        message = "--units must be " + lengthUnitChoices();
        return OptionResult::Bad;
    }
    return OptionResult::Taken;
}

std::string unitOptionHelp()
{
    return helpLine("--units " + lengthUnitChoices("|", "|"), "the unit .usda files state as their") +
           helpLine("", "metersPerUnit; the coordinates stay as they") +
           helpLine("", std::string("are (default ") + lengthUnitName(kDefaultLengthUnit) +
                            ", which makes the sphere of") +
           helpLine("", "radius 100 a life-sized head)");
}
