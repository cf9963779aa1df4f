#include "stack/stackreader.h"

#include "image/imagesourcefile.h"
#include "image/imagesourcefilemosaic.h"
#include "image/imagesourcevoxelmatrixplane.h"
#include "numerics/exception.h"
#include "stack/calibrationcurve.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/pose.h"
#include "stack/stack.h"
#include "stack/stackslice.h"
#include "stack/standardimage.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <locale.h>
#include <memory>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace {

// Statements of files that are not regular files (whose size bounds nothing)
// stop growing here.
constexpr std::uint64_t unsizedStatementLimit = std::uint64_t(64) << 20;
constexpr std::size_t chunkSize = std::size_t(1) << 20;

// The thread's locale is the classic "C" one while an object lives; the
// locale found is restored afterwards. Only the calling thread is affected.
class ClassicLocaleScope {
public:
    ClassicLocaleScope()
    {
        m_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        if (m_locale)
            m_previous = uselocale(m_locale);
    }
    ~ClassicLocaleScope()
    {
        if (m_locale) {
            uselocale(m_previous);
            freelocale(m_locale);
        }
    }
    ClassicLocaleScope(const ClassicLocaleScope&) = delete;
    ClassicLocaleScope& operator=(const ClassicLocaleScope&) = delete;

private:
    locale_t m_locale = static_cast<locale_t>(nullptr);
    locale_t m_previous = static_cast<locale_t>(nullptr);
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// What the statement reader looks for in a byte.
enum ByteClass : unsigned char { Plain = 0, Blank, Newline, Hash, Semicolon };

struct ByteClasses {
    ByteClasses()
    {
        for (const char c : {' ', '\t', '\v', '\f', '\r'})
            table[static_cast<unsigned char>(c)] = Blank;
        table[static_cast<unsigned char>('\n')] = Newline;
        table[static_cast<unsigned char>('#')] = Hash;
        table[static_cast<unsigned char>(';')] = Semicolon;
    }
    unsigned char table[256] = {};
};

const ByteClasses byteClasses;

// The length units a stack may have: the exponents with a known prefix.
constexpr int minimumUnitScale = -24;
constexpr int maximumUnitScale = 24;

// The statements of a file. Lines are joined without their line breaks,
// each losing its comment (from "#" on), until one holds a ";"; runs of
// white space become one blank, the ends are trimmed and the last character
// (the terminating ";") is dropped, all in one pass over the bytes as they
// come from the file in large chunks. A statement never grows beyond the
// limit.
class StatementSource {
public:
    // A file of known length needs no larger buffer than itself: small
    // files are read without clearing a whole chunk.
    StatementSource(std::FILE* file, std::uint64_t limit)
        : m_file(file), m_limit(limit),
          m_buffer(static_cast<std::size_t>(std::min<std::uint64_t>(limit + 1, chunkSize)))
    {
    }

    // The next statement, simplified (valid until the next call); false at
    // the end of the file, where a statement without ";" is dropped (and
    // told by isTruncated()).
    bool next(std::string_view& statement)
    {
        std::size_t used = 0;
        m_truncated = false;
        bool pendingBlank = false;
        bool inComment = false;
        bool complete = false;
        std::uint64_t length = 0;
        for (;;) {
            if (m_position == m_end && !fill()) {
                if (!complete) {
                    m_truncated = used > 0;
                    m_pending = std::string_view(m_text.data(), used);
                    return false;
                }
                break;
            }
            const unsigned char* const start = reinterpret_cast<const unsigned char*>(m_buffer.data()) + m_position;
            const unsigned char* const end = reinterpret_cast<const unsigned char*>(m_buffer.data()) + m_end;
            // Room for every byte of the chunk and one blank.
            if (m_text.size() < used + static_cast<std::size_t>(end - start) + 1)
                m_text.resize(used + static_cast<std::size_t>(end - start) + 1);
            char* const out = m_text.data();
            const unsigned char* p = start;
            bool lineDone = false;
            while (p < end) {
                const unsigned char c = *p++;
                const unsigned char kind = byteClasses.table[c];
                if (kind == Newline) {
                    lineDone = true;
                    break;
                }
                if (inComment)
                    continue;
                if (kind == Plain || kind == Semicolon) {
                    if (pendingBlank) {
                        out[used++] = ' ';
                        pendingBlank = false;
                    } else if (used == 0) {
                        m_statementLine = m_line;
                    }
                    out[used++] = static_cast<char>(c);
                    complete = complete || kind == Semicolon;
                } else if (kind == Blank) {
                    pendingBlank = used > 0;
                } else {
                    inComment = true;
                }
            }
            const auto consumed = static_cast<std::size_t>(p - start);
            m_position += consumed;
            m_consumed += consumed;
            length += consumed;
            if (length > m_limit)
                return false;
            if (lineDone) {
                ++m_line;
                if (complete)
                    break;
                inComment = false;
            }
        }
        statement = std::string_view(m_text.data(), used > 0 ? used - 1 : 0);
        return true;
    }

    std::uint64_t getConsumed() const { return m_consumed; }
    // The line where the last statement began (1 the first).
    int getStatementLine() const { return m_statementLine; }
    // Whether the file ended inside a statement, and the text of that
    // statement so far (valid until the next call).
    bool isTruncated() const { return m_truncated; }
    std::string_view getPending() const { return m_pending; }

private:
    bool fill()
    {
        if (m_eof)
            return false;
        m_position = 0;
        m_end = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file);
        if (m_end == 0)
            m_eof = true;
        return m_end > 0;
    }

    std::FILE* m_file;
    std::uint64_t m_limit;
    std::vector<char> m_buffer;
    // The statement being assembled.
    std::vector<char> m_text;
    std::size_t m_position = 0;
    std::size_t m_end = 0;
    std::uint64_t m_consumed = 0;
    bool m_eof = false;
    int m_line = 1;
    int m_statementLine = 1;
    bool m_truncated = false;
    std::string_view m_pending;
};

// The keyword and the arguments of a simplified statement. Words are
// separated by single blanks, so a quoted argument (from a word beginning
// with a double quote to the first word ending with one, or to the end) is a
// piece of the statement itself. Views into the statement.
void split(std::string_view statement, std::string_view& keyword, std::vector<std::string_view>& arguments)
{
    arguments.clear();
    const char* const begin = statement.data();
    const char* const end = begin + statement.size();
    const char* p = begin;
    while (p < end && *p != ' ')
        ++p;
    keyword = std::string_view(begin, static_cast<std::size_t>(p - begin));
    while (p < end) {
        const char* word = ++p;
        // The blank left before a dropped ";" ends no word.
        if (word == end)
            break;
        while (p < end && *p != ' ')
            ++p;
        if (*word == '"') {
            // A quoted argument closes on the first word ending with a quote,
            // possibly its own first word.
            while (p[-1] != '"' && p < end) {
                ++p;
                while (p < end && *p != ' ')
                    ++p;
            }
        }
        std::string_view argument(word, static_cast<std::size_t>(p - word));
        if (argument.front() == '"' && argument.back() == '"')
            argument = argument.size() >= 2 ? argument.substr(1, argument.size() - 2) : std::string_view();
        arguments.push_back(argument);
    }
}

// The integer at the start of [begin, end) as StackIO::toInteger reads it,
// with a quick path for the usual short decimal numbers; stop is set past
// their digits (to null on the general path).
inline int shortInteger(const char* begin, const char* end, const char*& stop)
{
    const char* p = begin;
    const bool negative = p < end && *p == '-';
    p += negative;
    const char* const digits = p;
    int value = 0;
    while (p < end && p - digits < 9 && static_cast<unsigned char>(*p - '0') < 10)
        value = value * 10 + (*p++ - '0');
    if (p == digits || (p < end && static_cast<unsigned char>(*p - '0') < 10)) {
        stop = nullptr;
        return StackIO::toInteger(std::string_view(begin, static_cast<std::size_t>(end - begin)));
    }
    stop = p;
    return negative ? -value : value;
}

// The failures of a statement that the log reports with their own lines.
struct StatementError {
    enum Kind { Count, Value, Context, Refused };
    Kind kind;
    // Why a value was refused.
    std::string text = {};
};

[[noreturn]] void countError()
{
    throw StatementError{StatementError::Count};
}
[[noreturn]] void valueError()
{
    throw StatementError{StatementError::Value};
}
[[noreturn]] void contextError()
{
    throw StatementError{StatementError::Context};
}
// A value that makes no sense: the statement is refused.
[[noreturn]] void refuse(std::string text)
{
    throw StatementError{StatementError::Refused, std::move(text)};
}

std::string quoted(std::string_view text)
{
    std::string q = "\"";
    q.append(text);
    q += '"';
    return q;
}

std::string directoryOf(const std::string& fileName)
{
    const std::size_t slash = fileName.rfind('/');
    return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

// A "/" between directory and name; an empty directory is the current one.
std::string join(const std::string& directory, std::string_view name)
{
    if (directory.empty())
        return std::string(name);
    std::string path = directory;
    if (path.back() != '/')
        path += '/';
    path += name;
    return path;
}

class StatementReader {
public:
    StatementReader(StackIO& io, Stack& stack, const std::string& fileName) : m_io(io), m_stack(stack)
    {
        m_stackFileName = fileName;
        if (fileName.find('/') != std::string::npos)
            stack.setImagesPath(directoryOf(fileName));
        m_imagesDirectory = stack.getImagesPath();
        for (int i = 0; i < stack.getNumSlices(); ++i)
            m_slicesByName.emplace(stack.getSlice(i)->getName(), stack.getSlice(i));
        for (int i = 0; i < stack.getNumModels(); ++i)
            m_modelsByName.emplace(stack.getModel(i)->getName(), stack.getModel(i));
    }

    // Carries out one statement; failures are logged.
    void execute(std::string_view keyword, const std::vector<std::string_view>& arguments)
    {
        const std::string word(keyword);
        m_keyword = word;
        try {
            m_notes.clear();
            m_numNotes = 0;
            dispatch(m_io.getKeyword(keyword), arguments, word);
            if (m_numNotes > 0)
                error(word, m_notes + (m_numNotes > 1 ? " (" + std::to_string(m_numNotes) + " such arguments)" : "") +
                                ".");
        } catch (const StatementError& e) {
            switch (e.kind) {
            case StatementError::Count:
                log("Error on " + word + ": invalid number of arguments.");
                break;
            case StatementError::Value:
                log("Error on " + word + ": invalid argument.");
                break;
            case StatementError::Context:
                log("Error: " + word + " is invalid in this context.");
                break;
            case StatementError::Refused:
                error(word, e.text + ".");
                break;
            }
        } catch (const Exception& e) {
            log("Error on " + word + ": " + e.getWhat() + ".");
        } catch (const std::exception& e) {
            log("Error on " + word + ": " + e.what() + ".");
        }
    }

    // Where the next statement begins, for its log lines.
    void setLine(int line) { m_line = line; }

    // The file ended inside a statement: it was not read.
    void endedInside(std::string_view pending)
    {
        const std::string word(pending.substr(0, pending.find(' ')));
        error(word, "the file ends inside this statement, before its \";\": it was not read.");
    }

    // Reading stopped at an empty statement although more followed.
    void stoppedEarly()
    {
        m_keyword = ";";
        log("Error: reading stopped at an empty statement (a \";\" alone): what follows it was not read.");
    }

    // Once everything is read: slices at the very place of the slice before
    // them (a stack that was never given a slice spacing, whose spacing is
    // the default 0), which no 3D reconstruction can separate. The file may
    // be as it was written: a warning.
    void checkPositions()
    {
        const std::vector<float> positions = m_stack.absolutePositions();
        for (std::size_t i = 1; i < positions.size(); ++i) {
            if (positions[i] != positions[i - 1])
                continue;
            const StackSlice* slice = m_stack.getSlice(static_cast<int>(i));
            const auto line = m_sliceLines.find(slice);
            m_line = line == m_sliceLines.end() ? 0 : line->second;
            m_keyword = "SLICE";
            std::string position;
            StackIO::appendReal(position, positions[i]);
            log(LogEntry::Warning, "Warning on SLICE: slice " + quoted(slice->getName()) + " lies at " + position +
                                       ", where slice " +
                                       quoted(m_stack.getSlice(static_cast<int>(i) - 1)->getName()) +
                                       " lies (a slice spacing of 0).");
        }
    }

    // Hands the mosaic being assembled to its slice.
    void finish() { flushMosaic(); }

    std::vector<StackIO::LogEntry>& getLog() { return m_log; }

private:
    using Arguments = std::vector<std::string_view>;
    using LogEntry = StackIO::LogEntry;

    void log(LogEntry::Severity severity, std::string line, bool fatal = false)
    {
        LogEntry entry;
        entry.severity = severity;
        entry.fatal = fatal;
        entry.line = m_line;
        entry.keyword = m_keyword;
        entry.text = std::move(line);
        m_log.push_back(std::move(entry));
    }
    void log(std::string line) { log(LogEntry::Error, std::move(line)); }
    void error(const std::string& word, const std::string& text) { log("Error on " + word + ": " + text); }
    void warning(const std::string& word, const std::string& text)
    {
        log(LogEntry::Warning, "Warning on " + word + ": " + text);
    }
    void fatal(std::string line) { log(LogEntry::Error, std::move(line), true); }

    // Numbers. A text that is not wholly a number is read as the reader
    // reads it (its valid start, 0 when there is none) and noted; a value
    // that is not finite, or not positive where only a positive one makes
    // sense, refuses the statement.
    void note(std::string_view text, const char* what, const std::string& readAs)
    {
        if (m_numNotes++ == 0)
            m_notes = quoted(text) + " is not " + what + "; read as " + readAs;
    }
    int integer(std::string_view text)
    {
        const int value = StackIO::toInteger(text);
        if (!StackIO::isInteger(text))
            note(text, "an integer", std::to_string(value));
        return value;
    }
    // A number the file may write as a real but that is read as an integer.
    int integerOfReal(std::string_view text)
    {
        const int value = StackIO::toInteger(text);
        if (!StackIO::isFiniteReal(text))
            note(text, "a number", std::to_string(value));
        return value;
    }
    template <typename R>
    R real(std::string_view text, bool positive = false, const char* what = nullptr)
    {
        const R value = std::is_same_v<R, float> ? StackIO::toFloat(text) : StackIO::toDouble(text);
        if (positive && !(value > 0 && std::isfinite(value)))
            refuse(std::string(what) + " must be a positive number, not " + quoted(text));
        if (!std::isfinite(value))
            refuse(quoted(text) + " is not a finite number");
        if (!StackIO::isFiniteReal(text)) {
            std::string readAs;
            StackIO::appendReal(readAs, value);
            note(text, "a number", readAs);
        }
        return value;
    }

    static void expect(const Arguments& arguments, std::size_t n)
    {
        if (arguments.size() != n)
            countError();
    }

    // The current slice, else null (mosaic edits are kept aside until the
    // slice stops being current).
    void setSlice(StackSlice* slice)
    {
        if (slice != m_slice)
            flushMosaic();
        m_slice = slice;
    }

    void flushMosaic()
    {
        if (m_mosaic && m_mosaicSlice && m_mosaicChanged)
            m_mosaicSlice->setImageSource(*m_mosaic);
        m_mosaic.reset();
        m_mosaicSlice = nullptr;
        m_mosaicChanged = false;
    }

    // Where an image name of the file points to, by version.
    std::string imageFile(std::string_view name) const
    {
        if (m_io.ensureFileFormatVersion(1.01))
            return join(m_imagesDirectory, name);
        if (!name.empty() && name.front() == '/')
            return std::string(name);
        return join(m_stack.getImagesPath(), name);
    }

    ModelItemProperties* itemProperties()
    {
        if (m_model)
            return &m_model->getItemProperties();
        if (m_item)
            return &m_item->getProperties();
        contextError();
    }

    PixelCalibration& calibration()
    {
        return m_slice ? m_slice->getPixelCalibration() : m_stack.getDefaultPixelCalibration();
    }

    Model& model()
    {
        if (!m_model)
            contextError();
        return *m_model;
    }

    StackSlice& slice()
    {
        if (!m_slice)
            contextError();
        return *m_slice;
    }

    Pose& pose()
    {
        if (!m_pose)
            contextError();
        return *m_pose;
    }

    // A new slice with the stack's defaults, appended and made current.
    StackSlice* newSlice(std::string_view name)
    {
        auto* slice = new StackSlice(std::string(name));
        slice->setPixelCalibration(m_stack.getDefaultPixelCalibration());
        slice->setRelativePosition(m_stack.getDefaultRelativePosition());
        m_stack.addSlice(slice);
        m_sliceLines.emplace(slice, m_line);
        // Items name their slice: those of a second slice of the same name
        // would go to the first.
        if (!m_slicesByName.emplace(slice->getName(), slice).second)
            error(m_keyword, "a slice named " + quoted(name) +
                                 " exists already: items naming it go to the first one.");
        setSlice(slice);
        m_model = nullptr;
        m_item = nullptr;
        m_sample = nullptr;
        return slice;
    }

    void dispatch(int code, const Arguments& a, const std::string& word)
    {
        switch (code) {
        case StackIO::KeyAnnotation: {
            expect(a, 1);
            const std::string text = StackIO::importString(std::string(a[0]));
            if (m_slice)
                m_slice->setAnnotation(text);
            else
                m_stack.setAnnotation(text);
            break;
        }
        case StackIO::KeyBeginCap:
            expect(a, 1);
            model().getProperties().setBeginCapFlag(StackIO::toBool(a[0]));
            break;
        case StackIO::KeyEndCap:
            expect(a, 1);
            model().getProperties().setEndCapFlag(StackIO::toBool(a[0]));
            break;
        case StackIO::KeyBrilliancy:
            expect(a, 1);
            model().getProperties().setShininess(static_cast<float>(integerOfReal(a[0])));
            break;
        case StackIO::KeyTransparency:
            expect(a, 1);
            model().getProperties().setOpacity(static_cast<float>(integerOfReal(a[0])));
            break;
        case StackIO::KeyEcoRendering:
            expect(a, 1);
            model().getProperties().setEconomicRendering(StackIO::toBool(a[0]));
            break;
        case StackIO::KeyCalibrationCurve:
            expect(a, 1);
            if (m_standardImage) {
                m_standardImage->setCalibrationCurve(CalibrationCurve(std::string(a[0])));
                m_curve = m_standardImage->getCalibrationCurve();
                m_standardImage = nullptr;
                setSlice(nullptr);
            } else if (!m_slice) {
                contextError();
            }
            break;
        case StackIO::KeyColor: {
            expect(a, 3);
            ModelItemProperties* p = itemProperties();
            const int red = integer(a[0]);
            const int green = integer(a[1]);
            const int blue = integer(a[2]);
            p->setColor(red & 0xff, green & 0xff, blue & 0xff);
            break;
        }
        case StackIO::KeyFilledIn:
            expect(a, 1);
            itemProperties()->setFilled(StackIO::toBool(a[0]));
            break;
        case StackIO::KeyHidden3D:
            expect(a, 1);
            itemProperties()->setVisible(!StackIO::toBool(a[0]));
            break;
        case StackIO::KeyPointSize:
            expect(a, 1);
            itemProperties()->setPointSize(static_cast<float>(integerOfReal(a[0])));
            break;
        case StackIO::KeyThickness:
            expect(a, 1);
            itemProperties()->setLineWidth(static_cast<float>(integerOfReal(a[0])));
            break;
        case StackIO::KeyVertexSymbol: {
            expect(a, 1);
            ModelItemProperties* p = itemProperties();
            const VertexSymbol symbol = ModelItemProperties::toVertexSymbol(std::string(a[0]));
            if (symbol == VertexSymbol::Unknown)
                valueError();
            p->setVertexSymbol(symbol);
            break;
        }
        case StackIO::KeyFileFormatVersion: {
            expect(a, 1);
            const double version = real<double>(a[0], true, "the version");
            m_io.setFileFormatVersion(version);
            if (!m_io.ensureFileFormatVersion(StackIO::currentFileFormatVersion + 0.001))
                break;
            std::string newer;
            StackIO::appendReal(newer, version);
            warning(word, "version " + newer + " is newer than this reader's; it reads what it knows.");
            break;
        }
        case StackIO::KeyFit: {
            expect(a, 1);
            if (!m_curve)
                contextError();
            CalibrationCurve::FitType type;
            if (!CalibrationCurve::toFitType(std::string(a[0]), type))
                throw ValueError();
            m_curve->setFitType(type);
            break;
        }
        case StackIO::KeyImage:
            expect(a, 3);
            image(a, word);
            break;
        case StackIO::KeyImagesPath:
            expect(a, 1);
            imagesPath(a[0]);
            break;
        case StackIO::KeyAbsoluteImagesPathPolicy:
            expect(a, 1);
            m_stack.setAbsoluteImagesPathPolicy(StackIO::toBool(a[0]));
            break;
        case StackIO::KeyLastSegmentedSlice:
            expect(a, 1);
            m_stack.setLastSegmentedSlice(std::string(a[0]));
            break;
        case StackIO::KeyLastRegisteredSlice:
            expect(a, 1);
            m_stack.setLastRegisteredSlice(std::string(a[0]));
            break;
        case StackIO::KeyLengthUnitScale: {
            expect(a, 1);
            LengthUnit unit = m_stack.getLengthUnit();
            const int scale = integer(a[0]);
            if (scale < minimumUnitScale || scale > maximumUnitScale)
                refuse("no length unit is 10^" + std::string(a[0]) + " m");
            unit.setScale(scale);
            m_stack.setLengthUnit(unit);
            break;
        }
        case StackIO::KeyModel: {
            expect(a, 1);
            auto* model = new Model(std::string(a[0]));
            m_stack.addModel(model);
            if (!m_modelsByName.emplace(model->getName(), model).second)
                error(word, "a model named " + quoted(a[0]) + " exists already: items naming it go to the first one.");
            m_model = model;
            setSlice(nullptr);
            m_item = nullptr;
            break;
        }
        case StackIO::KeyModelItem:
            m_item = nullptr;
            expect(a, 2);
            modelItem(a);
            break;
        case StackIO::KeyModelItemData:
            if (a.empty())
                countError();
            if (!m_item)
                contextError();
            modelItemData(a);
            break;
        case StackIO::KeyPixAspect:
            expect(a, 1);
            calibration().setAspectRatio(real<float>(a[0], true, "the pixel aspect ratio"));
            break;
        case StackIO::KeyPixHeight:
            expect(a, 1);
            calibration().setPixelHeight(real<float>(a[0], true, "the pixel height"));
            break;
        case StackIO::KeyPixWidth:
            expect(a, 1);
            calibration().setPixelWidth(real<float>(a[0], true, "the pixel width"));
            break;
        case StackIO::KeyPose: {
            expect(a, 1);
            auto* pose = new Pose();
            pose->setName(std::string(a[0]));
            pose->setStack(&m_stack);
            m_stack.addPose(pose);
            m_pose = pose;
            break;
        }
        case StackIO::KeyPoseRotation: {
            expect(a, 3);
            Pose& p = pose();
            const int x = integer(a[0]);
            const int y = integer(a[1]);
            const int z = integer(a[2]);
            p.setRotation(x, y, z);
            break;
        }
        case StackIO::KeyPoseShift: {
            expect(a, 2);
            Pose& p = pose();
            const int x = integer(a[0]);
            const int y = integer(a[1]);
            p.setTranslation(x, y);
            break;
        }
        case StackIO::KeyPoseZoom:
            expect(a, 1);
            pose().setZoom(integer(a[0]));
            break;
        case StackIO::KeyAmbientLight:
            expect(a, 1);
            pose().setAmbientLight(integer(a[0]));
            break;
        case StackIO::KeyDiffuseLight:
            expect(a, 1);
            pose().setDiffuseLight(integer(a[0]));
            break;
        case StackIO::KeySpecularLight:
            expect(a, 1);
            pose().setSpecularLight(integer(a[0]));
            break;
        case StackIO::KeyPosition:
            expect(a, 1);
            slice().setAbsolutePosition(real<float>(a[0]));
            break;
        case StackIO::KeyRelPosition:
            expect(a, 1);
            // The stack's spacing may stay 0, the spacing of a stack that was
            // never given one; a slice's spacing must be positive.
            if (m_slice)
                m_slice->setRelativePosition(real<float>(a[0], true, "the slice spacing"));
            else if (const float spacing = real<float>(a[0]); spacing < 0)
                refuse("the slice spacing must be a positive number, not " + quoted(a[0]));
            else
                m_stack.setDefaultRelativePosition(spacing);
            break;
        case StackIO::KeyPrimitive: {
            expect(a, 1);
            Model& m = model();
            const MPrimitive g = ModelProperties::toPrimitive(std::string(a[0]));
            if (g == MPrimitive::Unknown)
                valueError();
            m.getProperties().setGeometry(g);
            break;
        }
        case StackIO::KeyRenderingMode: {
            expect(a, 1);
            Model& m = model();
            const RenderingMode mode = ModelProperties::toRenderingMode(std::string(a[0]));
            if (mode == RenderingMode::Unknown)
                valueError();
            m.getProperties().setRenderingMode(mode);
            break;
        }
        case StackIO::KeyResampling: {
            expect(a, 2);
            Model& m = model();
            const int width = integer(a[0]);
            const int height = integer(a[1]);
            if (width < 0 || height < 0)
                valueError();
            m.getProperties().setQuadMeshWidth(static_cast<unsigned int>(width));
            m.getProperties().setQuadMeshHeight(static_cast<unsigned int>(height));
            break;
        }
        case StackIO::KeyRotate: {
            expect(a, 1);
            StackSlice& s = slice();
            Registration r = s.getRegistration();
            r.setRotationAngle(real<float>(a[0]));
            s.setRegistration(r);
            break;
        }
        case StackIO::KeyShift: {
            expect(a, 2);
            StackSlice& s = slice();
            Registration r = s.getRegistration();
            r.setHorizontalShift(integer(a[0]));
            r.setVerticalShift(integer(a[1]));
            s.setRegistration(r);
            break;
        }
        case StackIO::KeySample: {
            expect(a, 1);
            if (!m_curve)
                contextError();
            m_sample = &m_curve->addSample(StandardSample(std::string(a[0])));
            setSlice(nullptr);
            m_model = nullptr;
            m_item = nullptr;
            m_standardImage = nullptr;
            break;
        }
        case StackIO::KeySampleCoords: {
            expect(a, 4);
            if (!m_sample)
                contextError();
            const int x1 = integer(a[0]);
            const int y1 = integer(a[1]);
            const int x2 = integer(a[2]);
            const int y2 = integer(a[3]);
            m_sample->setRegion(BoundingBox<int>(Vector<int>{x1, y1}, Vector<int>{x2, y2}));
            break;
        }
        case StackIO::KeySampleValue:
            expect(a, 1);
            if (!m_sample)
                contextError();
            m_sample->setKnownValue(real<double>(a[0]));
            break;
        case StackIO::KeySlice:
            if (a.size() == 2)
                fileSlice(a);
            else if (a.size() == 3)
                mosaicSlice(a);
            else
                countError();
            break;
        case StackIO::KeySliceSize1:
        case StackIO::KeySliceSize2:
            expect(a, 1);
            sliceSize(code == StackIO::KeySliceSize1, integer(a[0]), word);
            break;
        case StackIO::KeyStack:
            expect(a, 1);
            m_stack.setName(std::string(a[0]));
            break;
        case StackIO::KeyStackSlice:
            expect(a, 3);
            planeSlice(a);
            break;
        case StackIO::KeyStandardImage: {
            expect(a, 2);
            auto* image = new StandardImage(std::string(a[0]));
            image->setStack(&m_stack);
            m_stack.addStandardImage(image);
            m_standardImage = image;
            setSlice(nullptr);
            m_model = nullptr;
            m_item = nullptr;
            m_curve = nullptr;
            break;
        }
        default:
            log("Error on " + word + ": unknown keyword (ignored).");
            break;
        }
    }

    void imagesPath(std::string_view path)
    {
        const bool absolute = !path.empty() && path.front() == '/';
        if (m_io.ensureFileFormatVersion(1.01)) {
            m_imagesDirectory = absolute ? std::string(path) : directoryOf(m_stackFileName) + std::string(path);
        } else {
            m_stack.setAbsoluteImagesPathPolicy(absolute);
            m_stack.setImagesPath(absolute ? std::string(path) : m_stack.getImagesPath() + std::string(path));
        }
    }

    void fileSlice(const Arguments& a)
    {
        StackSlice* slice = newSlice(a[0]);
        const std::string file = imageFile(a[1]);
        try {
            slice->setImageSource(ImageSourceFile(file));
        } catch (const Exception& e) {
            fatal("Error: " + file + ": " + e.getWhat() + ".");
        }
    }

    void mosaicSlice(const Arguments& a)
    {
        StackSlice* slice = newSlice(a[0]);
        const int rows = integer(a[1]);
        const int columns = integer(a[2]);
        slice->setImageSource(ImageSourceFileMosaic(rows, columns));
    }

    // A slice showing one plane of a voxel-matrix file.
    void planeSlice(const Arguments& a)
    {
        StackSlice* slice = newSlice(a[0]);
        const std::string file = imageFile(a[1]);
        ImageSourceVoxelMatrixPlane source;
        source.setPlane(integer(a[2]));
        try {
            source.setVoxelMatrixFilename(file);
            slice->setImageSource(source);
        } catch (const Exception& e) {
            fatal("Error: " + file + ": " + e.getWhat() + ".");
        }
    }

    void image(const Arguments& a, const std::string& word)
    {
        if (!m_slice || !m_slice->hasImageSource() ||
            m_slice->getImageSource().getType() != ImageSource::FileMosaicType)
            contextError();
        const ImageSourceFileMosaic* current = dynamic_cast<const ImageSourceFileMosaic*>(&m_slice->getImageSource());
        if (!current)
            contextError();
        // The tiles go into a copy kept until the slice stops being current,
        // so that a large mosaic is not copied once per tile.
        if (m_mosaicSlice != m_slice) {
            flushMosaic();
            m_mosaic = std::make_unique<ImageSourceFileMosaic>(*current);
            m_mosaicSlice = m_slice;
        }
        // 1-based in the file; a number too small to lower stays out of range.
        auto index = [this](std::string_view text) {
            const int n = integer(text);
            return n == INT_MIN ? -1 : n - 1;
        };
        try {
            m_mosaic->setFilename(index(a[0]), index(a[1]), imageFile(a[2]));
            m_mosaicChanged = true;
        } catch (const Exception& e) {
            fatal("Error on " + word + ": " + e.getWhat() + ".");
        }
    }

    // The image's rows or columns when the file was written, against the
    // image's size now.
    void sliceSize(bool rows, int size, const std::string& word)
    {
        const StackSlice& s = slice();
        const ImageSource* source = m_mosaic && m_mosaicSlice == m_slice ? m_mosaic.get()
                                    : s.hasImageSource()                 ? &s.getImageSource()
                                                                         : nullptr;
        if (!source || !source->isDefined())
            return;
        const int now = rows ? source->getSize1() : source->getSize2();
        if (now != size)
            warning(word, "the image of slice " + quoted(s.getName()) + " has " + std::to_string(now) +
                              (rows ? " rows" : " columns") + ", not " + std::to_string(size) +
                              " as when the file was written.");
    }

    void modelItem(const Arguments& a)
    {
        const auto model = m_modelsByName.find(a[0]);
        const auto slice = m_slicesByName.find(a[1]);
        if (model == m_modelsByName.end() || slice == m_slicesByName.end())
            valueError();
        auto* item = new ModelItem(model->second, slice->second);
        item->attach();
        m_item = item;
        m_model = nullptr;
        setSlice(nullptr);
    }

    void modelItemData(const Arguments& a)
    {
        // Each pair splits at its first comma; a pair without one leaves the
        // item as it was.
        m_coordinates.resize(2 * a.size());
        int* xy = m_coordinates.data();
        for (const std::string_view pair : a) {
            const char* const begin = pair.data();
            const char* const end = begin + pair.size();
            // Each side should be wholly an integer, as the writer writes
            // them: the quick path tells by where it stopped.
            const char* stop = begin;
            const int x = shortInteger(begin, end, stop);
            bool whole = stop && stop < end && *stop == ',';
            const char* comma = stop ? stop : begin;
            while (comma < end && *comma != ',')
                ++comma;
            if (comma == end)
                valueError();
            if (!stop)
                whole = StackIO::isInteger(std::string_view(begin, static_cast<std::size_t>(comma - begin)));
            const char* rest = comma + 1;
            const int y = shortInteger(rest, end, stop);
            whole = whole && (stop ? stop == end
                                   : StackIO::isInteger(std::string_view(rest, static_cast<std::size_t>(end - rest))));
            if (!whole)
                note(pair, "a vertex x,y of two integers", std::to_string(x) + "," + std::to_string(y));
            *xy++ = x;
            *xy++ = y;
        }
        const int n = static_cast<int>(a.size());
        Vertices<int> vertices(2, n);
        // A new pool holds its slots side by side: one copy fills them.
        int* const first = vertices.vertex(0).data();
        if (vertices.vertex(n - 1).data() == first + 2 * static_cast<std::size_t>(n - 1)) {
            std::memcpy(first, m_coordinates.data(), m_coordinates.size() * sizeof(int));
        } else {
            for (int i = 0; i < n; ++i) {
                int* p = vertices.vertex(i).data();
                p[0] = m_coordinates[2 * static_cast<std::size_t>(i)];
                p[1] = m_coordinates[2 * static_cast<std::size_t>(i) + 1];
            }
        }
        m_item->setVertices(vertices);
        m_item->setClockwise(false);
    }

    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    template <typename P>
    using NameMap = std::unordered_map<std::string, P*, NameHash, std::equal_to<>>;

    StackIO& m_io;
    Stack& m_stack;
    std::vector<LogEntry> m_log;
    // The statement being carried out: its line and first word, and the
    // first number of it that was not wholly a number (with their count).
    int m_line = 0;
    std::string m_keyword;
    std::string m_notes;
    int m_numNotes = 0;
    // Where each slice was created.
    std::unordered_map<const StackSlice*, int> m_sliceLines;
    StackSlice* m_slice = nullptr;
    Model* m_model = nullptr;
    ModelItem* m_item = nullptr;
    Pose* m_pose = nullptr;
    StandardImage* m_standardImage = nullptr;
    CalibrationCurve* m_curve = nullptr;
    StandardSample* m_sample = nullptr;
    std::string m_imagesDirectory;
    std::string m_stackFileName;
    std::vector<int> m_coordinates;
    // The first slice and model of every name, as findSlice and findModel
    // would find them.
    NameMap<StackSlice> m_slicesByName;
    NameMap<Model> m_modelsByName;
    // The mosaic of the current slice while its tiles are being set.
    std::unique_ptr<ImageSourceFileMosaic> m_mosaic;
    StackSlice* m_mosaicSlice = nullptr;
    bool m_mosaicChanged = false;
};

std::string withSuffix(const std::string& fileName)
{
    const std::size_t slash = fileName.rfind('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = fileName.rfind('.');
    if (dot != std::string::npos && dot >= start && fileName.compare(dot + 1, std::string::npos, "sdf") == 0)
        return fileName;
    return fileName + ".sdf";
}

} // namespace

std::string StackReader::getFileName(const std::string& fileName)
{
    return withSuffix(fileName);
}

bool StackReader::isStackText(std::string_view start)
{
    std::size_t i = 0;
    for (;;) {
        while (i < start.size() && byteClasses.table[static_cast<unsigned char>(start[i])] != Plain &&
               start[i] != '#')
            ++i;
        if (i == start.size())
            return true;
        if (start[i] != '#')
            break;
        while (i < start.size() && start[i] != '\n')
            ++i;
    }
    std::size_t end = i;
    while (end < start.size() && byteClasses.table[static_cast<unsigned char>(start[end])] == Plain)
        ++end;
    // A word the block cuts may still be a keyword.
    if (end == start.size())
        return true;
    return StackIO().getKeyword(start.substr(i, end - i)) != StackIO::KeyUnknown;
}

bool StackReader::read(Stack& stack, const std::string& fileName)
{
    const ClassicLocaleScope classic;
    const std::string name = withSuffix(fileName);

    clearLog();
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name.c_str(), "rb"));
    if (!file)
        return false;
    struct stat status {};
    std::uint64_t size = 1;
    std::uint64_t limit = unsizedStatementLimit;
    const bool known = fstat(fileno(file.get()), &status) == 0;
    // A directory opens but holds no text.
    if (known && S_ISDIR(status.st_mode))
        return false;
    if (known && S_ISREG(status.st_mode)) {
        size = status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 1;
        limit = static_cast<std::uint64_t>(status.st_size);
    }

    notifyProgressed("Reading " + name + "...");
    notifyProgressed(0, 100);

    setFileFormatVersion(1.0);
    StatementReader reader(*this, stack, name);
    StatementSource source(file.get(), limit);
    std::string_view statement;
    std::string_view keyword;
    std::vector<std::string_view> arguments;
    unsigned int percent = 0;
    bool stoppedEarly = false;
    while (source.next(statement)) {
        if (statement.empty()) {
            // Reading ends here; say so when more follows.
            const int line = source.getStatementLine();
            std::string_view rest;
            while (source.next(rest) && rest.empty()) {
            }
            if (!rest.empty() || source.isTruncated()) {
                reader.setLine(line);
                reader.stoppedEarly();
                stoppedEarly = true;
            }
            break;
        }
        reader.setLine(source.getStatementLine());
        split(statement, keyword, arguments);
        reader.execute(keyword, arguments);
        const auto done = static_cast<unsigned int>(std::min<std::uint64_t>(source.getConsumed() * 100 / size, 100));
        if (done != percent) {
            percent = done;
            notifyProgressed(percent, 100);
        }
    }
    if (!stoppedEarly && source.isTruncated()) {
        reader.setLine(source.getStatementLine());
        reader.endedInside(source.getPending());
    }
    reader.finish();
    reader.checkPositions();
    for (LogEntry& entry : reader.getLog())
        addLog(std::move(entry));

    stack.getDefaultPixelCalibration().compute();
    for (int i = 0; i < stack.getNumSlices(); ++i)
        stack.getSlice(i)->getPixelCalibration().compute();

    notifyProgressed(100, 100);
    notifyProgressed("");
    return true;
}
