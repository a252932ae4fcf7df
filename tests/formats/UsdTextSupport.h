#ifndef TRESSMOOR_TESTS_FORMATS_USDTEXTSUPPORT_H
#define TRESSMOOR_TESTS_FORMATS_USDTEXTSUPPORT_H

#include <map>
#include <string>
#include <vector>

// One attribute of the strands prim, read back from the USD text.
struct UsdAttribute {
    std::string type;           // "point3f[]", "uniform token", ...
    std::string value;          // the text after " = "
    std::string interpolation;  // from its metadata; empty when it has none
};

// A layer as Tressmoor writes it, taken apart line by line: the layer metadata
// lines and the attributes of /hair/strands. problem is empty when every line
// is where the layout puts it.
struct UsdLayer {
    std::vector<std::string> metadata;  // the lines between "(" and ")", trimmed
    std::vector<std::string> primMetadata;  // the strands prim's, trimmed
    std::map<std::string, UsdAttribute> attributes;
    std::vector<std::string> attributeOrder;
    std::string problem;
};

UsdLayer parseUsdLayer(const std::string& text);

// Every number in an array's text, read as a float (strtof) or as an integer.
std::vector<float> usdFloats(const std::string& value);
std::vector<long long> usdIntegers(const std::string& value);

// Whether two float lists hold the very same bits; the first difference otherwise.
std::string bitDifference(const std::vector<float>& expected, const std::vector<float>& actual);

#endif
