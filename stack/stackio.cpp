#include "stack/stackio.h"

#include <charconv>
#include <cmath>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <locale.h>
#include <memory>
#include <mutex>
#include <type_traits>
#include <unordered_map>

namespace {

// The spellings of every code, in code order; the first one is written.
const std::vector<std::vector<std::string>>& spellingList()
{
    static const std::vector<std::vector<std::string>> list = {
        {"Annotation"},
        {"BeginCap"},
        {"BRILLIANCY"},
        {"CALIBRATIONCURVE"},
        {"COLOR", "M2DCOLOR"},
        {"ECORENDERING"},
        {"EndCap"},
        {"FileFormatVersion"},
        {"FILLEDIN", "M2DFILLEDIN"},
        {"FIT"},
        {"HIDDEN3D", "M2DHIDDEN3D"},
        {"IMAGE"},
        {"ImagesPath", "IMAGESPATH", "IMAGESDIR"},
        {"AbsoluteImagesPathPolicy"},
        {"LASTSEGMENTEDSLICE"},
        {"LASTREGISTEREDSLICE"},
        {"LengthUnitScale"},
        {"MODEL", "M2DCLASS"},
        {"MODELITEM", "M2DITEM"},
        {"MODELITEMDATA", "M2DDATA"},
        {"PIXASPECT", "ASPRATIO", "ASPECT"},
        {"PIXHEIGHT"},
        {"PIXWIDTH"},
        {"POINTSIZE", "M2DRADIUS"},
        {"POSE"},
        {"POSEROTATION"},
        {"POSESHIFT"},
        {"POSEZOOM"},
        {"AMBIENTLIGHT"},
        {"DIFFUSELIGHT"},
        {"SPECULARLIGHT"},
        {"POSITION", "DEPTH"},
        {"PRIMITIVE", "M2DPRIMITIVE"},
        {"RELPOSITION", "RELDEPTH"},
        {"RENDERINGMODE"},
        {"RESAMPLING"},
        {"ROTATE"},
        {"SAMPLE"},
        {"SAMPLECOORDS"},
        {"SAMPLEVALUE"},
        {"SHIFT"},
        {"SLICE"},
        {"SliceSize1"},
        {"SliceSize2"},
        {"STACK"},
        {"StackSlice"},
        {"STANDARDIMAGE"},
        {"THICKNESS", "M2DTHICKNESS"},
        {"TRANSPARENCY"},
        {"VERTEXSYMBOL"},
    };
    return list;
}

struct KeywordTable {
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    std::unordered_map<std::string, int, Hash, std::equal_to<>> codes;
};

// The table lives while at least one StackIO does.
std::mutex tableMutex;
int tableUsers = 0;
std::unique_ptr<KeywordTable> table;

void acquireTable()
{
    const std::lock_guard<std::mutex> lock(tableMutex);
    if (tableUsers++ == 0) {
        auto t = std::make_unique<KeywordTable>();
        const auto& list = spellingList();
        for (std::size_t code = 0; code < list.size(); ++code)
            for (const std::string& spelling : list[code])
                t->codes.emplace(spelling, static_cast<int>(code));
        table = std::move(t);
    }
}

void releaseTable()
{
    const std::lock_guard<std::mutex> lock(tableMutex);
    if (--tableUsers == 0)
        table.reset();
}

const std::vector<std::string> noSpelling;
const std::string noString;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The "C" locale for the rare conversions left to the C library.
locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

// strtod/strtof on the valid prefix of text, for values out of the
// representable range (where they give the infinities or the underflow result).
template <typename R>
R libraryConversion(std::string_view text)
{
    const std::string copy(text);
    if constexpr (std::is_same_v<R, float>)
        return strtof_l(copy.c_str(), nullptr, cLocale());
    else
        return strtod_l(copy.c_str(), nullptr, cLocale());
}

template <typename R>
R toReal(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    const std::size_t start = i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    if (first == last || *first == '-' || *first == '+')
        return R(0);
    R value = 0;
    std::from_chars_result r;
    if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X') && first[2] != '-' &&
        first[2] != '+')
        r = std::from_chars(first + 2, last, value, std::chars_format::hex);
    else
        r = std::from_chars(first, last, value, std::chars_format::general);
    if (r.ec == std::errc::invalid_argument)
        return R(0);
    if (r.ec == std::errc::result_out_of_range)
        return libraryConversion<R>(text.substr(start));
    return negative ? -value : value;
}

} // namespace

int StackIO::toInteger(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulated as a negative number, whose range holds INT_MIN.
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 - (text[i] - '0');
        if (value < -static_cast<long long>(INT_MAX) - 1)
            return negative ? INT_MIN : INT_MAX;
    }
    if (negative)
        return static_cast<int>(value);
    return value < -static_cast<long long>(INT_MAX) ? INT_MAX : static_cast<int>(-value);
}

double StackIO::toDouble(std::string_view text)
{
    return toReal<double>(text);
}

float StackIO::toFloat(std::string_view text)
{
    return toReal<float>(text);
}

bool StackIO::isInteger(std::string_view text)
{
    std::size_t i = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    if (i == text.size())
        return false;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    return text[0] == '-' || value <= INT_MAX;
}

bool StackIO::isFiniteReal(std::string_view text)
{
    std::size_t i = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    if (first == last || *first == '+' || *first == '-')
        return false;
    double value = 0;
    std::from_chars_result r;
    if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
        if (first[2] == '+' || first[2] == '-')
            return false;
        r = std::from_chars(first + 2, last, value, std::chars_format::hex);
    } else {
        r = std::from_chars(first, last, value, std::chars_format::general);
    }
    return r.ec == std::errc() && r.ptr == last && std::isfinite(value);
}

void StackIO::addLog(LogEntry entry)
{
    if (entry.severity == LogEntry::Error)
        ++m_numErrors;
    if (entry.fatal)
        ++m_numFatalErrors;
    m_log.push_back(entry.text);
    m_entries.push_back(std::move(entry));
}

void StackIO::appendInteger(std::string& out, long long value)
{
    char buffer[24];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, r.ptr);
}

void StackIO::appendReal(std::string& out, double value)
{
    // to_chars with a precision behaves as printf's %.6g in the C locale,
    // which is what the default stream form prints.
    char buffer[48];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    out.append(buffer, r.ptr);
}

StackIO::StackIO()
{
    acquireTable();
}

StackIO::StackIO(const StackIO& other)
    : ProgressSubject(other), m_version(other.m_version), m_log(other.m_log), m_entries(other.m_entries),
      m_numFatalErrors(other.m_numFatalErrors), m_numErrors(other.m_numErrors)
{
    acquireTable();
}

StackIO& StackIO::operator=(const StackIO& other)
{
    ProgressSubject::operator=(other);
    m_version = other.m_version;
    m_log = other.m_log;
    m_entries = other.m_entries;
    m_numFatalErrors = other.m_numFatalErrors;
    m_numErrors = other.m_numErrors;
    return *this;
}

StackIO::~StackIO()
{
    releaseTable();
}

int StackIO::getKeyword(std::string_view word) const
{
    const auto it = table->codes.find(word);
    return it == table->codes.end() ? KeyUnknown : it->second;
}

const std::vector<std::string>& StackIO::getSpellings(int code) const
{
    const auto& list = spellingList();
    if (code < 0 || code >= static_cast<int>(list.size()))
        return noSpelling;
    return list[static_cast<std::size_t>(code)];
}

const std::string& StackIO::getString(int code) const
{
    const std::vector<std::string>& spellings = getSpellings(code);
    return spellings.empty() ? noString : spellings.front();
}

std::string StackIO::replace(const std::string& text, const std::string& what, const std::string& with)
{
    if (what.empty())
        return text;
    std::string result;
    result.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, from)) {
        result.append(text, from, at - from);
        result += with;
        from = at + what.size();
    }
    result.append(text, from, std::string::npos);
    return result;
}

std::string StackIO::exportString(const std::string& text)
{
    return replace(replace(replace(text, ";", "__SC__"), "\n", "__NL__"), "\"", "__DQ__");
}

std::string StackIO::importString(const std::string& text)
{
    return replace(replace(replace(text, "__SC__", ";"), "__NL__", "\n"), "__DQ__", "\"");
}
