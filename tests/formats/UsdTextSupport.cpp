#include "UsdTextSupport.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::string trimmed(const std::string& line)
{
    const size_t start = line.find_first_not_of(' ');
    return start == std::string::npos ? "" : line.substr(start);
}

// "        int[] primvars:clusterId = [0, 1] (" into its type, name and value.
bool readAttributeLine(const std::string& line, std::string& type, std::string& name,
                       std::string& value, bool& opensMetadata)
{
    const std::string indent = "        ";
    const size_t equals = line.find(" = ");
    if (line.compare(0, indent.size(), indent) != 0 || line[indent.size()] == ' ' ||
        equals == std::string::npos) {
        return false;
    }
    const std::string head = line.substr(indent.size(), equals - indent.size());
    const size_t space = head.rfind(' ');
    if (space == std::string::npos) {
        return false;
    }
    type = head.substr(0, space);
    name = head.substr(space + 1);
    value = line.substr(equals + 3);
    opensMetadata = value.size() >= 2 && value.compare(value.size() - 2, 2, " (") == 0;
    if (opensMetadata) {
        value.resize(value.size() - 2);
    }
    return true;
}

}  // namespace

UsdLayer parseUsdLayer(const std::string& text)
{
    UsdLayer layer;
    const std::vector<std::string> lines = linesOf(text);
    size_t i = 0;
    auto expect = [&](const std::string& wanted) {
        if (layer.problem.empty() && (i >= lines.size() || lines[i] != wanted)) {
            layer.problem = "line " + std::to_string(i + 1) + " is \"" +
                            (i < lines.size() ? lines[i] : "<end>") + "\", not \"" + wanted + "\"";
        }
        ++i;
    };
    expect("#usda 1.0");
    expect("(");
    while (layer.problem.empty() && i < lines.size() && lines[i] != ")") {
        layer.metadata.push_back(trimmed(lines[i++]));
    }
    for (const char* wanted : {")", "", "def Xform \"hair\"", "{", "    def BasisCurves \"strands\" ("}) {
        expect(wanted);
    }
    while (layer.problem.empty() && i < lines.size() && lines[i] != "    )") {
        layer.primMetadata.push_back(trimmed(lines[i++]));
    }
    expect("    )");
    expect("    {");
    while (layer.problem.empty() && i < lines.size() && lines[i] != "    }") {
        UsdAttribute attribute;
        std::string name;
        bool opensMetadata = false;
        if (!readAttributeLine(lines[i], attribute.type, name, attribute.value, opensMetadata)) {
            layer.problem = "line " + std::to_string(i + 1) + " is no attribute: " + lines[i];
            break;
        }
        ++i;
        if (opensMetadata) {
            const std::string prefix = "            interpolation = \"";
            const std::string& meta = i < lines.size() ? lines[i] : "";
            if (meta.compare(0, prefix.size(), prefix) != 0 || meta.back() != '"') {
                layer.problem = "line " + std::to_string(i + 1) + " is no interpolation: " + meta;
                break;
            }
            attribute.interpolation = meta.substr(prefix.size(), meta.size() - prefix.size() - 1);
            ++i;
            expect("        )");
        }
        if (layer.attributes.count(name) != 0) {
            layer.problem = "attribute " + name + " appears twice";
        }
        layer.attributes[name] = attribute;
        layer.attributeOrder.push_back(name);
    }
    expect("    }");
    expect("}");
    if (layer.problem.empty() && i != lines.size()) {
        layer.problem = "text goes on after the prim";
    }
    if (layer.problem.empty() && (text.empty() || text.back() != '\n')) {
        layer.problem = "the last line has no line end";
    }
    return layer;
}

namespace {

std::vector<std::string> numberTokens(const std::string& value)
{
    std::string spaced = value;
    for (char& c : spaced) {
        if (strchr("[](),", c) != nullptr) {
            c = ' ';
        }
    }
    std::istringstream in(spaced);
    std::vector<std::string> tokens;
    std::string token;
    while (in >> token) {
        tokens.push_back(token);
    }
    return tokens;
}

}  // namespace

std::vector<float> usdFloats(const std::string& value)
{
    std::vector<float> numbers;
    for (const std::string& token : numberTokens(value)) {
        char* end = nullptr;
        numbers.push_back(std::strtof(token.c_str(), &end));
        if (*end != '\0') {
            numbers.back() = std::nanf("");
        }
    }
    return numbers;
}

std::vector<long long> usdIntegers(const std::string& value)
{
    std::vector<long long> numbers;
    for (const std::string& token : numberTokens(value)) {
        char* end = nullptr;
        numbers.push_back(std::strtoll(token.c_str(), &end, 10));
        if (*end != '\0') {
            numbers.back() = -999999;
        }
    }
    return numbers;
}

std::string bitDifference(const std::vector<float>& expected, const std::vector<float>& actual)
{
    if (expected.size() != actual.size()) {
        return "sizes differ: " + std::to_string(expected.size()) + " and " + std::to_string(actual.size());
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        if (memcmp(&expected[i], &actual[i], sizeof(float)) != 0) {
            std::ostringstream out;
            out.precision(9);
            out << "value " << i << " is " << actual[i] << ", not " << expected[i];
            return out.str();
        }
    }
    return "";
}
