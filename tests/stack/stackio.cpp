#include "stack/stackio.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <locale>
#include <random>
#include <sstream>
#include <thread>

namespace {

// Every keyword with its spellings, in code order, the written one first.
const std::vector<std::vector<std::string>> keywordSpellings = {
    {"Annotation"}, {"BeginCap"}, {"BRILLIANCY"}, {"CALIBRATIONCURVE"}, {"COLOR", "M2DCOLOR"},
    {"ECORENDERING"}, {"EndCap"}, {"FileFormatVersion"}, {"FILLEDIN", "M2DFILLEDIN"}, {"FIT"},
    {"HIDDEN3D", "M2DHIDDEN3D"}, {"IMAGE"}, {"ImagesPath", "IMAGESPATH", "IMAGESDIR"},
    {"AbsoluteImagesPathPolicy"}, {"LASTSEGMENTEDSLICE"}, {"LASTREGISTEREDSLICE"}, {"LengthUnitScale"},
    {"MODEL", "M2DCLASS"}, {"MODELITEM", "M2DITEM"}, {"MODELITEMDATA", "M2DDATA"},
    {"PIXASPECT", "ASPRATIO", "ASPECT"}, {"PIXHEIGHT"}, {"PIXWIDTH"}, {"POINTSIZE", "M2DRADIUS"}, {"POSE"},
    {"POSEROTATION"}, {"POSESHIFT"}, {"POSEZOOM"}, {"AMBIENTLIGHT"}, {"DIFFUSELIGHT"}, {"SPECULARLIGHT"},
    {"POSITION", "DEPTH"}, {"PRIMITIVE", "M2DPRIMITIVE"}, {"RELPOSITION", "RELDEPTH"}, {"RENDERINGMODE"},
    {"RESAMPLING"}, {"ROTATE"}, {"SAMPLE"}, {"SAMPLECOORDS"}, {"SAMPLEVALUE"}, {"SHIFT"}, {"SLICE"},
    {"SliceSize1"}, {"SliceSize2"}, {"STACK"}, {"StackSlice"}, {"STANDARDIMAGE"},
    {"THICKNESS", "M2DTHICKNESS"}, {"TRANSPARENCY"}, {"VERTEXSYMBOL"}};

// Replaces every occurrence in place, the search going on after the
// inserted text: the reference for one replacement step.
std::string replaceAll(std::string text, const std::string& what, const std::string& with)
{
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

std::string randomText(std::mt19937& rng, const std::string& letters, int maxLength)
{
    std::uniform_int_distribution<int> length(0, maxLength);
    std::uniform_int_distribution<std::size_t> pick(0, letters.size() - 1);
    std::string text;
    for (int n = length(rng); n > 0; --n)
        text += letters[pick(rng)];
    return text;
}

} // namespace

TEST(StackIO, KeywordTableKnowsEverySpellingAndWritesTheFirst)
{
    StackIO io;
    ASSERT_EQ(static_cast<int>(keywordSpellings.size()), StackIO::KeyUnknown);
    for (int code = 0; code < StackIO::KeyUnknown; ++code) {
        EXPECT_EQ(io.getString(code), keywordSpellings[code].front());
        EXPECT_EQ(io.getSpellings(code), keywordSpellings[code]);
        for (const std::string& spelling : keywordSpellings[code])
            EXPECT_EQ(io.getKeyword(spelling), code) << spelling;
    }
    // Matching is exact and case-sensitive.
    for (const char* word : {"color", "COLOR ", "", "Slice", "M2D", "StackSlices"})
        EXPECT_EQ(io.getKeyword(word), StackIO::KeyUnknown) << word;
    EXPECT_EQ(io.getString(-1), "");
}

TEST(StackIO, KeywordTableOutlivesNoInstanceAndIsSharedAcrossThreads)
{
    // Built with the first instance and erased with the last, again and
    // again, from two threads at once.
    auto work = [] {
        for (int i = 0; i < 300; ++i) {
            StackIO first;
            const StackIO second(first);
            if (second.getKeyword("RELDEPTH") != StackIO::KeyRelPosition)
                ADD_FAILURE();
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
}

TEST(StackIO, EscapingReplacesInTheStatedOrder)
{
    // "__SC__" goes first: here it eats the end of "__NL__", which then is
    // no longer found.
    EXPECT_EQ(StackIO::importString("__NL__SC__"), "__NL;");
    EXPECT_EQ(StackIO::replace("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(StackIO::replace("abc", "", "x"), "abc");
    // Against the reference replacement, on texts made of the tokens' own
    // characters, where order and overlaps matter; text without underscores
    // comes back unchanged.
    std::mt19937 rng(7);
    for (int i = 0; i < 2000; ++i) {
        const std::string text = randomText(rng, "_SCNLDQ;\n\"x", 24);
        EXPECT_EQ(StackIO::exportString(text),
                  replaceAll(replaceAll(replaceAll(text, ";", "__SC__"), "\n", "__NL__"), "\"", "__DQ__"));
        EXPECT_EQ(StackIO::importString(text),
                  replaceAll(replaceAll(replaceAll(text, "__SC__", ";"), "__NL__", "\n"), "__DQ__", "\""));
        const std::string plain = randomText(rng, "ab ;\n\"\t#", 30);
        EXPECT_EQ(StackIO::importString(StackIO::exportString(plain)), plain);
    }
}

// Integers read like strtol clamped to int, reals like strtod and strtof
// (the test runs in the "C" locale), on edge cases and random texts.
TEST(StackIO, NumbersReadLikeTheCLibrary)
{
    const auto check = [](const std::string& text) {
        const long l = std::strtol(text.c_str(), nullptr, 10);
        EXPECT_EQ(StackIO::toInteger(text), l > INT_MAX ? INT_MAX : l < INT_MIN ? INT_MIN : l) << '"' << text << '"';
        const double d = std::strtod(text.c_str(), nullptr);
        const float f = std::strtof(text.c_str(), nullptr);
        if (std::isnan(d))
            EXPECT_TRUE(std::isnan(StackIO::toDouble(text)) && std::isnan(StackIO::toFloat(text))) << text;
        else
            EXPECT_TRUE(StackIO::toDouble(text) == d && StackIO::toFloat(text) == f) << '"' << text << '"';
    };
    for (const char* text : {"0", "42", "-17", "+8", "  12", "\t-3x", "12abc", "abc", "", "-", "--1", "2147483647",
                             "2147483648", "-2147483649", "99999999999999999999999", "-99999999999999999999999",
                             "1.9", "0x1F", "007", "-2.25e3", "+.5", ".", "1e", "1e+", "1e400", "-1e400", "1e-400",
                             "1e-40", "inf", "-Infinity", "nan", "0x1.8p1", "0x", "-0x1p-3", "1.5.5", "+-2",
                             "5e-324", "3.4028236e38"})
        check(text);
    std::mt19937 rng(5);
    for (int i = 0; i < 3000; ++i)
        check(randomText(rng, "0123456789+-.e x", 16));
}

TEST(StackIO, RealsAreWrittenInTheDefaultStreamForm)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-12, 12);
    std::vector<double> values = {0.0, -0.0, 1.0, 100000.0, 1000000.0, 123456.5, 1e-5, 0.0001, 1e300, 5e-324};
    for (int i = 0; i < 3000; ++i)
        values.push_back(mantissa(rng) * std::pow(10.0, exponent(rng)));
    for (int i = 0; i < 500; ++i)
        values.push_back(static_cast<float>(mantissa(rng) * std::pow(10.0, exponent(rng))));
    for (const double v : values) {
        std::ostringstream stream;
        stream.imbue(std::locale::classic());
        stream << v;
        std::string text;
        StackIO::appendReal(text, v);
        EXPECT_EQ(text, stream.str());
    }
    std::string text;
    StackIO::appendInteger(text, -2147483648LL);
    EXPECT_EQ(text, "-2147483648");
}

TEST(StackIO, VersionComparisonAllowsForBinaryDecimals)
{
    StackIO io;
    EXPECT_EQ(io.getFileFormatVersion(), 1.03);
    io.setFileFormatVersion(StackIO::toDouble("1.01"));
    EXPECT_TRUE(io.ensureFileFormatVersion(1.01));
    EXPECT_FALSE(io.ensureFileFormatVersion(1.02));
    io.setFileFormatVersion(1.00999);
    EXPECT_TRUE(io.ensureFileFormatVersion(1.01));
    io.setFileFormatVersion(1.0);
    EXPECT_FALSE(io.ensureFileFormatVersion(1.01));
}
