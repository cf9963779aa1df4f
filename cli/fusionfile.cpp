#include "cli/fusionfile.h"

#include "numerics/exception.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace {

std::string trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Runs of blanks become one blank: "reference  stack" is "reference stack".
std::string normalised(const std::string& text)
{
    std::string out;
    for (char c : trim(text)) {
        if (c == '\t')
            c = ' ';
        if (c != ' ' || out.empty() || out.back() != ' ')
            out += c;
    }
    return lower(out);
}

class Parser {
public:
    Parser(const std::string& file) : m_file(file) {}

    [[noreturn]] void fail(const std::string& text) const
    {
        throw FusionFileError(m_file + ":" + std::to_string(m_line) + ": " + text);
    }

    bool toBool(const std::string& key, const std::string& value) const
    {
        const std::string v = lower(value);
        if (v == "yes" || v == "true" || v == "on")
            return true;
        if (v == "no" || v == "false" || v == "off")
            return false;
        fail("\"" + key + "\" takes yes or no, not \"" + value + "\"");
    }

    long toInteger(const std::string& key, const std::string& value, long minimum) const
    {
        errno = 0;
        char* end = nullptr;
        const long v = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || errno != 0 || v > 1000000)
            fail("\"" + key + "\" takes a whole number, not \"" + value + "\"");
        if (v < minimum)
            fail("\"" + key + "\" must be at least " + std::to_string(minimum));
        return v;
    }

    float toReal(const std::string& key, const std::string& value) const
    {
        std::istringstream in(value);
        in.imbue(std::locale::classic());
        double v = 0.0;
        in >> v;
        if (value.empty() || !in || !in.eof() || !std::isfinite(v))
            fail("\"" + key + "\" takes a number, not \"" + value + "\"");
        return static_cast<float>(v);
    }

    void once(const std::string& scope, const std::string& key)
    {
        if (!m_seen.insert(scope + "\n" + key).second)
            fail("\"" + key + "\" is given twice");
    }

    void setLine(int line) { m_line = line; }

private:
    std::string m_file;
    int m_line = 0;
    std::set<std::string> m_seen;
};

} // namespace

FusionFile FusionFile::read(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw FileReadError("FusionFile FusionFile::read(const string&)", "Cannot open file", file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw FileReadError("FusionFile FusionFile::read(const string&)", "Cannot read file", file);
    return parse(text, file);
}

FusionFile FusionFile::parse(const std::string& text, const std::string& file)
{
    namespace fs = std::filesystem;
    FusionFile result;
    FusionConfig<float>& config = result.config;
    Parser parser(file);
    if (text.find('\0') != std::string::npos) {
        parser.setLine(1);
        parser.fail("not a text file");
    }
    const fs::path directory = fs::path(file).parent_path();
    FusionSurfaceStructure<float>* structure = nullptr;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        parser.setLine(number);
        if (const auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        line = trim(line);
        if (line.empty())
            continue;
        if (line.front() == '[') {
            if (line.back() != ']')
                parser.fail("a section ends with \"]\"");
            const std::string inside = trim(line.substr(1, line.size() - 2));
            const auto blank = inside.find_first_of(" \t");
            if (blank == std::string::npos || lower(inside.substr(0, blank)) != "structure")
                parser.fail("unknown section \"" + line + "\" (sections are [structure NAME])");
            const std::string name = trim(inside.substr(blank));
            if (config.findSurfaceStructure(name))
                parser.fail("structure \"" + name + "\" is given twice");
            config.surfaceStructures.push_back({});
            structure = &config.surfaceStructures.back();
            structure->name = name;
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            parser.fail("expected \"key = value\"");
        const std::string key = normalised(line.substr(0, equals));
        const std::string value = trim(line.substr(equals + 1));
        if (structure) {
            parser.once(structure->name, key);
            if (key == "reference")
                structure->reference = parser.toBool(key, value);
            else if (key == "resampling height")
                structure->resamplingHeight = static_cast<int>(parser.toInteger(key, value, 2));
            else if (key == "resampling width")
                structure->resamplingWidth = static_cast<int>(parser.toInteger(key, value, 3));
            else if (key == "resampling error")
                structure->resamplingError = parser.toReal(key, value);
            else
                parser.fail("unknown key \"" + key + "\" in a structure (reference, resampling height, "
                            "resampling width, resampling error)");
            continue;
        }
        if (key == "stack") {
            if (value.empty())
                parser.fail("\"stack\" needs a file");
            fs::path path(value);
            if (path.is_relative() && !directory.empty())
                path = directory / path;
            result.stackFiles.push_back(path.string());
            continue;
        }
        parser.once("", key);
        FusionStrategy& s = config.strategy;
        if (key == "name") {
            config.name = value;
        } else if (key == "alignment") {
            s.alignment = parser.toBool(key, value);
        } else if (key == "registration") {
            s.registration = parser.toBool(key, value);
        } else if (key == "registration algorithm") {
            const std::string v = normalised(value);
            if (v == "global")
                s.registrationAlgorithm = FusionRegistrationAlgorithm::Global;
            else if (v == "pairwise")
                s.registrationAlgorithm = FusionRegistrationAlgorithm::Pairwise;
            else
                parser.fail("\"registration algorithm\" is global or pairwise, not \"" + value + "\"");
        } else if (key == "reference stack") {
            s.referenceStack = value;
        } else if (key == "registration iterations") {
            s.numRegistrationIterations = static_cast<unsigned int>(parser.toInteger(key, value, 1));
        } else if (key == "warping") {
            s.warping = parser.toBool(key, value);
        } else if (key == "warping model") {
            const std::string v = normalised(value);
            if (v == "polynomials")
                s.warpingModel = FusionWarpingModel::Polynomials;
            else if (v == "thin-plate splines")
                s.warpingModel = FusionWarpingModel::ThinPlateSplines;
            else
                parser.fail("\"warping model\" is polynomials or thin-plate splines, not \"" + value + "\"");
        } else if (key == "polynomial degree") {
            s.polynomialDegree = static_cast<unsigned int>(parser.toInteger(key, value, 1));
        } else {
            parser.fail("unknown key \"" + key + "\"");
        }
    }
    return result;
}
