#include "image/nrrdfile.h"

#include "image/lengthunittext.h"
#include "image/rawvoxels.h"
#include "numerics/exception.h"

#include <zlib.h>

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <vector>

namespace {

const char* const where = "ImportedVolume NrrdFile::read(const string&, ...)";

constexpr std::size_t maxLine = 1 << 16;
constexpr std::size_t maxHeader = 1 << 20;
constexpr int maxDimension = 16;
constexpr std::uint64_t maxInflation = 1100;

std::string trim(const std::string& text)
{
    const auto begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return "";
    const auto end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Words separated by blanks.
std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        if (i > start)
            out.push_back(text.substr(start, i - start));
    }
    return out;
}

// Quoted strings ("mm" "mm" "mm"); unquoted words are taken as they are.
std::vector<std::string> quoted(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (std::isspace(static_cast<unsigned char>(text[i]))) {
            ++i;
        } else if (text[i] == '"') {
            const auto end = text.find('"', i + 1);
            out.push_back(text.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1));
            i = end == std::string::npos ? text.size() : end + 1;
        } else {
            const std::size_t start = i;
            while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])))
                ++i;
            out.push_back(text.substr(start, i - start));
        }
    }
    return out;
}

bool toDouble(const std::string& text, double& value)
{
    const std::string t = lower(trim(text));
    if (t == "nan") {
        value = NAN;
        return true;
    }
    const auto result = std::from_chars(t.data(), t.data() + t.size(), value);
    return result.ec == std::errc() && result.ptr == t.data() + t.size();
}

bool toInteger(const std::string& text, std::int64_t& value)
{
    const std::string t = trim(text);
    const auto result = std::from_chars(t.data(), t.data() + t.size(), value);
    return result.ec == std::errc() && result.ptr == t.data() + t.size();
}

bool elementOf(const std::string& name, RawVoxels::Element& element)
{
    using E = RawVoxels::Element;
    static const std::map<std::string, E> types = {
        {"signed char", E::Int8},         {"int8", E::Int8},
        {"int8_t", E::Int8},              {"uchar", E::UInt8},
        {"unsigned char", E::UInt8},      {"uint8", E::UInt8},
        {"uint8_t", E::UInt8},            {"short", E::Int16},
        {"short int", E::Int16},          {"signed short", E::Int16},
        {"signed short int", E::Int16},   {"int16", E::Int16},
        {"int16_t", E::Int16},            {"ushort", E::UInt16},
        {"unsigned short", E::UInt16},    {"unsigned short int", E::UInt16},
        {"uint16", E::UInt16},            {"uint16_t", E::UInt16},
        {"int", E::Int32},                {"signed int", E::Int32},
        {"int32", E::Int32},              {"int32_t", E::Int32},
        {"uint", E::UInt32},              {"unsigned int", E::UInt32},
        {"uint32", E::UInt32},            {"uint32_t", E::UInt32},
        {"longlong", E::Int64},           {"long long", E::Int64},
        {"long long int", E::Int64},      {"signed long long", E::Int64},
        {"signed long long int", E::Int64}, {"int64", E::Int64},
        {"int64_t", E::Int64},            {"ulonglong", E::UInt64},
        {"unsigned long long", E::UInt64}, {"unsigned long long int", E::UInt64},
        {"uint64", E::UInt64},            {"uint64_t", E::UInt64},
        {"float", E::Float32},            {"double", E::Float64}};
    const auto found = types.find(name);
    if (found == types.end())
        return false;
    element = found->second;
    return true;
}

enum class AxisRole { Space, Frame, Channel };

AxisRole roleOfKind(const std::string& kind)
{
    const std::string k = lower(kind);
    if (k == "domain" || k == "space")
        return AxisRole::Space;
    if (k == "time")
        return AxisRole::Frame;
    return AxisRole::Channel;
}

struct Header {
    std::string file;
    int line = 0;
    std::map<std::string, std::pair<std::string, int>> fields; // name: value, line
    std::uint64_t dataOffset = 0;                              // attached data start
};

[[noreturn]] void fail(const Header& header, const std::string& what, int line = 0)
{
    throw FileFormatError(where, (line > 0 ? "line " + std::to_string(line) + ": " : std::string()) + what,
                          header.file);
}

// Reads the magic and the field lines up to the blank line (or the end of a
// detached header).
Header readHeader(const std::string& file, std::ifstream& in)
{
    Header header;
    header.file = file;
    std::size_t total = 0;
    bool first = true;
    for (;;) {
        std::string line;
        char c;
        bool ended = false;
        while (in.get(c)) {
            if (c == '\n') {
                ended = true;
                break;
            }
            if (line.size() >= maxLine)
                fail(header, "header line longer than " + std::to_string(maxLine) + " bytes", header.line + 1);
            line += c;
        }
        total += line.size() + 1;
        ++header.line;
        if (total > maxHeader)
            fail(header, "header longer than " + std::to_string(maxHeader) + " bytes");
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (first) {
            if (line.size() != 8 || line.compare(0, 7, "NRRD000") != 0 || line[7] < '1' || line[7] > '9')
                fail(header, "not an NRRD file (it begins with no NRRD000N line)");
            first = false;
        } else if (line.empty()) {
            break;
        } else if (line[0] == '#') {
            // a comment
        } else if (const auto keyValue = line.find(":="); keyValue != std::string::npos &&
                                                           line.find(": ") > keyValue) {
            // a key/value pair: not used
        } else {
            const auto colon = line.find(": ");
            if (colon == std::string::npos)
                fail(header, "\"" + line.substr(0, 40) + "\" is no field", header.line);
            header.fields[lower(trim(line.substr(0, colon)))] = {trim(line.substr(colon + 2)), header.line};
        }
        if (!ended)
            break;
    }
    if (first)
        fail(header, "empty file");
    const std::streampos position = in.tellg();
    header.dataOffset = position == std::streampos(-1) ? 0 : static_cast<std::uint64_t>(position);
    return header;
}

const std::pair<std::string, int>* field(const Header& header, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        const auto found = header.fields.find(name);
        if (found != header.fields.end())
            return &found->second;
    }
    return nullptr;
}

std::uint64_t lengthOf(const std::string& file, bool& regular)
{
    struct stat status {};
    regular = ::stat(file.c_str(), &status) == 0 && S_ISREG(status.st_mode);
    return regular && status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
}

// Inflates gzip (or zlib) data into exactly `size` bytes.
bool inflateAll(const std::vector<unsigned char>& in, std::vector<unsigned char>& out, std::uint64_t size)
{
    out.assign(static_cast<std::size_t>(size), 0);
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 32) != Z_OK)
        return false;
    std::size_t consumed = 0, produced = 0;
    int status = Z_OK;
    // Members one after the other (concatenated gzip files) until the bytes
    // wanted are there; chunks keep the counts within zlib's 32-bit fields.
    while (produced < out.size()) {
        const std::size_t inChunk = std::min<std::size_t>(in.size() - consumed, 1u << 30);
        const std::size_t outChunk = std::min<std::size_t>(out.size() - produced, 1u << 30);
        stream.next_in = const_cast<unsigned char*>(in.data() + consumed);
        stream.avail_in = static_cast<uInt>(inChunk);
        stream.next_out = out.data() + produced;
        stream.avail_out = static_cast<uInt>(outChunk);
        status = inflate(&stream, Z_NO_FLUSH);
        consumed += inChunk - stream.avail_in;
        produced += outChunk - stream.avail_out;
        if (status == Z_STREAM_END) {
            if (produced < out.size() && consumed < in.size() && inflateReset(&stream) == Z_OK)
                continue;
            break;
        }
        if (status != Z_OK || (inChunk == 0 && outChunk == stream.avail_out))
            break;
    }
    inflateEnd(&stream);
    return produced == out.size();
}

} // namespace

ImportedVolume NrrdFile::read(const std::string& file, const VolumeSelection& selection, ProgressSubject* progress)
{
    std::ifstream in(file, std::ios::binary);
    bool regular = false;
    const std::uint64_t fileLength = lengthOf(file, regular);
    if (!in || !regular)
        throw FileReadError(where, "Cannot open file for reading", file);
    const Header header = readHeader(file, in);

    // Type and sizes.
    const auto* typeField = field(header, {"type"});
    const auto* dimensionField = field(header, {"dimension"});
    const auto* sizesField = field(header, {"sizes"});
    const auto* encodingField = field(header, {"encoding"});
    if (!typeField || !dimensionField || !sizesField || !encodingField)
        fail(header, "the header lacks one of the fields type, dimension, sizes and encoding");
    RawVoxels raw;
    if (!elementOf(lower(typeField->first), raw.element))
        fail(header, "voxels of type \"" + typeField->first + "\" are not read", typeField->second);
    std::int64_t dimension = 0;
    if (!toInteger(dimensionField->first, dimension) || dimension < 1 || dimension > maxDimension)
        fail(header, "dimension \"" + dimensionField->first + "\" is not 1 to " + std::to_string(maxDimension),
             dimensionField->second);
    const std::vector<std::string> sizeWords = words(sizesField->first);
    if (static_cast<std::int64_t>(sizeWords.size()) != dimension)
        fail(header, "sizes gives " + std::to_string(sizeWords.size()) + " sizes for " + std::to_string(dimension) +
                         " axes",
             sizesField->second);
    std::vector<std::int64_t> sizes;
    for (const std::string& w : sizeWords) {
        std::int64_t s = 0;
        if (!toInteger(w, s) || s < 1 || s > INT32_MAX)
            fail(header, "size \"" + w + "\" is not a positive integer", sizesField->second);
        sizes.push_back(s);
    }
    const int elementSize = RawVoxels::elementSize(raw.element);
    std::uint64_t totalBytes = static_cast<std::uint64_t>(elementSize);
    for (const std::int64_t s : sizes) {
        if (static_cast<std::uint64_t>(s) > UINT64_MAX / totalBytes)
            fail(header, "sizes overflow", sizesField->second);
        totalBytes *= static_cast<std::uint64_t>(s);
    }

    // Axis roles.
    std::vector<AxisRole> roles(static_cast<std::size_t>(dimension), AxisRole::Space);
    if (const auto* kinds = field(header, {"kinds"})) {
        const std::vector<std::string> k = words(kinds->first);
        if (static_cast<std::int64_t>(k.size()) != dimension)
            fail(header, "kinds gives " + std::to_string(k.size()) + " kinds for " + std::to_string(dimension) +
                             " axes",
                 kinds->second);
        for (std::size_t a = 0; a < k.size(); ++a)
            roles[a] = roleOfKind(k[a]);
    } else if (const auto* directions = field(header, {"space directions"})) {
        const std::vector<std::string> d = words(directions->first);
        // "none" or a vector "(x,y,z)" per axis.
        if (static_cast<std::int64_t>(d.size()) == dimension)
            for (std::size_t a = 0; a < d.size(); ++a)
                if (lower(d[a]) == "none")
                    roles[a] = AxisRole::Channel;
    }
    std::vector<int> spatial, frames, channels;
    for (int a = 0; a < dimension; ++a) {
        if (roles[a] == AxisRole::Space && spatial.size() < 3)
            spatial.push_back(a);
        else if (roles[a] == AxisRole::Channel)
            channels.push_back(a);
        else
            frames.push_back(a);
    }
    if (spatial.empty())
        fail(header, "the file has no spatial axis");
    std::uint64_t frameCount = 1, channelCount = 1;
    for (const int a : frames)
        frameCount *= static_cast<std::uint64_t>(sizes[a]);
    for (const int a : channels)
        channelCount *= static_cast<std::uint64_t>(sizes[a]);
    if (selection.frame < 0 || static_cast<std::uint64_t>(selection.frame) >= frameCount)
        fail(header, "frame " + std::to_string(selection.frame) + " asked for, the file holds " +
                         std::to_string(frameCount));
    if (selection.channel < 0 || static_cast<std::uint64_t>(selection.channel) >= channelCount)
        fail(header, "channel " + std::to_string(selection.channel) + " asked for, the file holds " +
                         std::to_string(channelCount));
    for (int s = 0; s < 3; ++s)
        raw.size[s] = s < static_cast<int>(spatial.size()) ? sizes[spatial[static_cast<std::size_t>(s)]] : 1;
    std::uint64_t volumeBytes = 0;
    if (!raw.totalBytes(volumeBytes))
        fail(header, "a volume of " + std::to_string(raw.size[0]) + " x " + std::to_string(raw.size[1]) + " x " +
                         std::to_string(raw.size[2]) + " voxels is beyond what can be held");

    // Byte order.
    if (elementSize > 1) {
        const auto* endian = field(header, {"endian"});
        const std::string e = endian ? lower(endian->first) : "";
        const std::string encoding = lower(encodingField->first);
        if (e == "big")
            raw.bigEndian = true;
        else if (e == "little")
            raw.bigEndian = false;
        else if (encoding != "ascii" && encoding != "text" && encoding != "txt")
            fail(header, "multi-byte voxels need an endian field of little or big", endian ? endian->second : 0);
    }

    // Where the data are.
    std::string dataFile = file;
    std::uint64_t dataOffset = header.dataOffset;
    std::uint64_t dataLength = fileLength;
    bool detached = false;
    if (const auto* data = field(header, {"data file", "datafile"})) {
        const std::vector<std::string> d = words(data->first);
        if (d.size() != 1 || d[0] == "LIST")
            fail(header, "data in several files are not read", data->second);
        std::filesystem::path path(d[0]);
        if (path.is_relative())
            path = std::filesystem::path(file).parent_path() / path;
        dataFile = path.string();
        bool regularData = false;
        dataLength = lengthOf(dataFile, regularData);
        if (!regularData)
            throw FileReadError(where, "Cannot read the data file " + dataFile, file);
        dataOffset = 0;
        detached = true;
    }
    std::ifstream dataStream;
    std::ifstream* source = &in;
    if (detached) {
        dataStream.open(dataFile, std::ios::binary);
        if (!dataStream)
            throw FileReadError(where, "Cannot open the data file " + dataFile, file);
        source = &dataStream;
    }
    source->clear();
    source->seekg(static_cast<std::streamoff>(dataOffset));
    if (const auto* lineSkip = field(header, {"line skip", "lineskip"})) {
        std::int64_t n = 0;
        if (!toInteger(lineSkip->first, n) || n < 0)
            fail(header, "line skip \"" + lineSkip->first + "\" is not a count", lineSkip->second);
        for (std::int64_t l = 0; l < n; ++l) {
            source->ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            if (!*source)
                fail(header, "the data end within the lines to skip", lineSkip->second);
        }
        const std::streampos position = source->tellg();
        dataOffset = static_cast<std::uint64_t>(position);
    }
    std::int64_t byteSkip = 0;
    const auto* byteSkipField = field(header, {"byte skip", "byteskip"});
    if (byteSkipField && (!toInteger(byteSkipField->first, byteSkip) || byteSkip < -1))
        fail(header, "byte skip \"" + byteSkipField->first + "\" is not a count", byteSkipField->second);
    if (dataOffset > dataLength)
        fail(header, "the data begin beyond the end of the file");
    const std::uint64_t available = dataLength - dataOffset;

    // The whole data, decoded.
    std::vector<unsigned char> bytes;
    const std::string encoding = lower(encodingField->first);
    if (encoding == "raw") {
        std::uint64_t skip = 0;
        if (byteSkip == -1) {
            if (totalBytes > available)
                fail(header, "the data are shorter than the sizes announce");
            skip = available - totalBytes;
        } else {
            skip = static_cast<std::uint64_t>(byteSkip);
        }
        if (skip > available || totalBytes > available - skip)
            fail(header, "the data hold " + std::to_string(available > skip ? available - skip : 0) +
                             " bytes, the sizes announce " + std::to_string(totalBytes));
        source->seekg(static_cast<std::streamoff>(dataOffset + skip));
        bytes.resize(static_cast<std::size_t>(totalBytes));
        source->read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (static_cast<std::uint64_t>(source->gcount()) != totalBytes)
            fail(header, "the data could not be read completely");
    } else if (encoding == "gzip" || encoding == "gz") {
        if (byteSkip < 0)
            fail(header, "byte skip -1 needs raw data", byteSkipField ? byteSkipField->second : 0);
        const std::uint64_t skip = static_cast<std::uint64_t>(byteSkip);
        if (totalBytes > UINT64_MAX - skip || (totalBytes + skip) / maxInflation > available)
            fail(header, "the sizes announce more data than the compressed file holds");
        std::vector<unsigned char> compressed(static_cast<std::size_t>(available));
        source->read(reinterpret_cast<char*>(compressed.data()), static_cast<std::streamsize>(compressed.size()));
        if (static_cast<std::uint64_t>(source->gcount()) != available)
            fail(header, "the data could not be read completely");
        std::vector<unsigned char> inflated;
        if (!inflateAll(compressed, inflated, totalBytes + skip))
            fail(header, "the compressed data are damaged or shorter than the sizes announce");
        bytes.assign(inflated.begin() + static_cast<std::ptrdiff_t>(skip), inflated.end());
    } else if (encoding == "ascii" || encoding == "text" || encoding == "txt") {
        const std::uint64_t count = totalBytes / static_cast<std::uint64_t>(elementSize);
        // Every value takes at least two characters but the last.
        if (count > available / 2 + 1)
            fail(header, "the text holds fewer values than the sizes announce");
        std::string text(static_cast<std::size_t>(available), '\0');
        source->read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<std::size_t>(source->gcount()));
        bytes.resize(static_cast<std::size_t>(totalBytes));
        std::size_t position = 0;
        raw.bigEndian = std::endian::native == std::endian::big;
        for (std::uint64_t v = 0; v < count; ++v) {
            while (position < text.size() && (std::isspace(static_cast<unsigned char>(text[position])) ||
                                              text[position] == ','))
                ++position;
            const char* begin = text.data() + position;
            double value = 0.0;
            const auto result = std::from_chars(begin, text.data() + text.size(), value);
            if (result.ec != std::errc())
                fail(header, "value " + std::to_string(v + 1) + " of the text data is no number");
            position = static_cast<std::size_t>(result.ptr - text.data());
            unsigned char* out = bytes.data() + v * static_cast<std::uint64_t>(elementSize);
            // Integers must be whole numbers their type holds.
            auto store = [&](auto typed) {
                using S = decltype(typed);
                if constexpr (std::is_integral_v<S>) {
                    if (!(value >= static_cast<double>(std::numeric_limits<S>::min()) &&
                          value < std::ldexp(1.0, std::numeric_limits<S>::digits)))
                        fail(header, "value " + std::to_string(v + 1) + " of the text data is beyond its type");
                    typed = static_cast<S>(value);
                } else if constexpr (std::is_same_v<S, float>) {
                    typed = std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()
                                ? (value > 0 ? INFINITY : -INFINITY)
                                : static_cast<float>(value);
                }
                std::memcpy(out, &typed, sizeof typed);
            };
            using E = RawVoxels::Element;
            switch (raw.element) {
            case E::UInt8:
                store(std::uint8_t{});
                break;
            case E::Int8:
                store(std::int8_t{});
                break;
            case E::UInt16:
                store(std::uint16_t{});
                break;
            case E::Int16:
                store(std::int16_t{});
                break;
            case E::UInt32:
                store(std::uint32_t{});
                break;
            case E::Int32:
                store(std::int32_t{});
                break;
            case E::UInt64:
                store(std::uint64_t{});
                break;
            case E::Int64:
                store(std::int64_t{});
                break;
            case E::Float32:
                store(float{});
                break;
            default:
                store(value);
                break;
            }
        }
    } else {
        fail(header, "data of encoding \"" + encodingField->first + "\" are not read (raw, gzip or text only)",
             encodingField->second);
    }

    // The selected channel and frame: one voxel of a spatial position lies
    // at the sum of its axes' indices times their strides.
    std::vector<std::uint64_t> strides(static_cast<std::size_t>(dimension));
    std::uint64_t stride = static_cast<std::uint64_t>(elementSize);
    for (int a = 0; a < dimension; ++a) {
        strides[static_cast<std::size_t>(a)] = stride;
        stride *= static_cast<std::uint64_t>(sizes[static_cast<std::size_t>(a)]);
    }
    std::uint64_t base = 0;
    auto place = [&](const std::vector<int>& axes, std::uint64_t index) {
        for (const int a : axes) {
            base += (index % static_cast<std::uint64_t>(sizes[a])) * strides[a];
            index /= static_cast<std::uint64_t>(sizes[a]);
        }
    };
    place(channels, static_cast<std::uint64_t>(selection.channel));
    place(frames, static_cast<std::uint64_t>(selection.frame));
    std::vector<unsigned char> volume;
    volume.resize(static_cast<std::size_t>(volumeBytes));
    const std::uint64_t sx = strides[spatial[0]];
    const std::uint64_t sy = spatial.size() > 1 ? strides[spatial[1]] : 0;
    const std::uint64_t sz = spatial.size() > 2 ? strides[spatial[2]] : 0;
    std::size_t out = 0;
    for (std::int64_t z = 0; z < raw.size[2]; ++z)
        for (std::int64_t y = 0; y < raw.size[1]; ++y)
            for (std::int64_t x = 0; x < raw.size[0]; ++x) {
                const std::uint64_t at = base + static_cast<std::uint64_t>(x) * sx +
                                         static_cast<std::uint64_t>(y) * sy + static_cast<std::uint64_t>(z) * sz;
                std::memcpy(volume.data() + out, bytes.data() + at, static_cast<std::size_t>(elementSize));
                out += static_cast<std::size_t>(elementSize);
            }
    bytes.clear();
    bytes.shrink_to_fit();

    ImportedVolume result;
    result.format = "NRRD";
    if (channelCount > 1)
        result.notes.push_back("channel " + std::to_string(selection.channel) + " of " +
                               std::to_string(channelCount) + " read (--channel chooses another)");
    if (frameCount > 1)
        result.notes.push_back("frame " + std::to_string(selection.frame) + " of " + std::to_string(frameCount) +
                               " read (--frame chooses another)");
    std::size_t position = 0;
    result.volume = raw.read(
        [&](void* target, std::size_t n) {
            if (n > volume.size() - position)
                return false;
            std::memcpy(target, volume.data() + position, n);
            position += n;
            return true;
        },
        where, progress);

    // Voxel size: spacings, else the lengths of the space directions.
    double spacing[3] = {NAN, NAN, NAN};
    if (const auto* spacings = field(header, {"spacings"})) {
        const std::vector<std::string> s = words(spacings->first);
        if (static_cast<std::int64_t>(s.size()) != dimension)
            fail(header, "spacings gives " + std::to_string(s.size()) + " values for " + std::to_string(dimension) +
                             " axes",
                 spacings->second);
        for (std::size_t a = 0; a < spatial.size(); ++a)
            if (!toDouble(s[static_cast<std::size_t>(spatial[a])], spacing[a]))
                fail(header, "spacing \"" + s[static_cast<std::size_t>(spatial[a])] + "\" is no number",
                     spacings->second);
    } else if (const auto* directions = field(header, {"space directions"})) {
        const std::vector<std::string> d = words(directions->first);
        // Vectors may hold blanks: "(1, 0, 0)". Rejoin them.
        std::vector<std::string> vectors;
        std::string current;
        for (const std::string& w : d) {
            current += w;
            if (lower(current) == "none" || (!current.empty() && current.back() == ')')) {
                vectors.push_back(current);
                current.clear();
            }
        }
        if (static_cast<std::int64_t>(vectors.size()) != dimension)
            fail(header, "space directions gives " + std::to_string(vectors.size()) + " vectors for " +
                             std::to_string(dimension) + " axes",
                 directions->second);
        for (std::size_t a = 0; a < spatial.size(); ++a) {
            std::string v = vectors[static_cast<std::size_t>(spatial[a])];
            if (lower(v) == "none")
                continue;
            if (v.size() < 2 || v.front() != '(' || v.back() != ')')
                fail(header, "space direction \"" + v + "\" is no vector", directions->second);
            v = v.substr(1, v.size() - 2);
            double sum = 0.0;
            std::size_t start = 0;
            for (;;) {
                const auto comma = v.find(',', start);
                double c = 0.0;
                if (!toDouble(v.substr(start, comma == std::string::npos ? std::string::npos : comma - start), c))
                    fail(header, "space direction \"" + v + "\" is no vector", directions->second);
                sum += c * c;
                if (comma == std::string::npos)
                    break;
                start = comma + 1;
            }
            spacing[a] = std::sqrt(sum);
        }
    }
    result.hasVoxelSize = true;
    for (std::size_t a = 0; a < spatial.size(); ++a)
        if (!(std::isfinite(spacing[a]) && spacing[a] > 0.0 && spacing[a] < 3.0e38))
            result.hasVoxelSize = false;
    if (spatial.size() < 3 && result.hasVoxelSize)
        for (std::size_t a = spatial.size(); a < 3; ++a)
            spacing[a] = spacing[0];

    // Unit: space units, else units, of the spatial axes (all alike).
    LengthUnitText unit{-3, 1.0};
    std::vector<std::string> units;
    int unitsLine = 0;
    if (const auto* spaceUnits = field(header, {"space units"})) {
        units = quoted(spaceUnits->first);
        unitsLine = spaceUnits->second;
    } else if (const auto* axisUnits = field(header, {"units"})) {
        const std::vector<std::string> all = quoted(axisUnits->first);
        unitsLine = axisUnits->second;
        if (static_cast<std::int64_t>(all.size()) == dimension)
            for (const int a : spatial)
                units.push_back(all[static_cast<std::size_t>(a)]);
    }
    result.hasLengthUnit = !units.empty();
    for (const std::string& u : units) {
        LengthUnitText parsed;
        if (!LengthUnitText::parse(u, parsed) || (u != units.front())) {
            result.hasLengthUnit = false;
            break;
        }
        unit = parsed;
    }
    if (!result.hasLengthUnit) {
        unit = {-3, 1.0};
        if (!units.empty())
            result.notes.push_back("line " + std::to_string(unitsLine) + ": units \"" + units.front() +
                                   "\" are not a length unit of all three axes: millimetres taken");
        else
            result.notes.push_back("the file names no length unit: millimetres taken (--unit sets another)");
    }
    VoxelCalibration calibration;
    calibration.setLengthUnit(LengthUnit(unit.scale));
    if (result.hasVoxelSize) {
        calibration.setVoxelWidth(static_cast<float>(spacing[0] * unit.factor));
        calibration.setVoxelHeight(static_cast<float>(spacing[1] * unit.factor));
        calibration.setVoxelDepth(static_cast<float>(spacing[2] * unit.factor));
    } else {
        result.notes.push_back("the file gives no usable voxel size: 1 x 1 x 1 taken");
    }
    result.volume.setVoxelCalibration(calibration);
    return result;
}
