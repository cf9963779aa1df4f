#pragma once
// StackIO: what the stack file reader and writer share: the keyword table,
// the escaping of free text, the file format version, and the log and count
// of fatal errors of the last operation. Readers and writers report their
// progress to attached monitors (ProgressSubject).
//
// A stack file (".sdf") is a text of statements, each a keyword, arguments
// separated by blanks and a terminating ";". Every keyword has a code and one
// or more spellings; the first spelling is the one written, and matching is
// exact and case-sensitive. The table is built when the first StackIO is
// made and erased when the last one goes.

#include "numerics/progresssubject.h"

#include <string>
#include <string_view>
#include <vector>

class StackIO : public ProgressSubject {
public:
    // The keyword codes; KeyUnknown for a word that matches no spelling.
    enum Keyword {
        KeyAnnotation = 0,
        KeyBeginCap,
        KeyBrilliancy,
        KeyCalibrationCurve,
        KeyColor,
        KeyEcoRendering,
        KeyEndCap,
        KeyFileFormatVersion,
        KeyFilledIn,
        KeyFit,
        KeyHidden3D,
        KeyImage,
        KeyImagesPath,
        KeyAbsoluteImagesPathPolicy,
        KeyLastSegmentedSlice,
        KeyLastRegisteredSlice,
        KeyLengthUnitScale,
        KeyModel,
        KeyModelItem,
        KeyModelItemData,
        KeyPixAspect,
        KeyPixHeight,
        KeyPixWidth,
        KeyPointSize,
        KeyPose,
        KeyPoseRotation,
        KeyPoseShift,
        KeyPoseZoom,
        KeyAmbientLight,
        KeyDiffuseLight,
        KeySpecularLight,
        KeyPosition,
        KeyPrimitive,
        KeyRelPosition,
        KeyRenderingMode,
        KeyResampling,
        KeyRotate,
        KeySample,
        KeySampleCoords,
        KeySampleValue,
        KeyShift,
        KeySlice,
        KeySliceSize1,
        KeySliceSize2,
        KeyStack,
        KeyStackSlice,
        KeyStandardImage,
        KeyThickness,
        KeyTransparency,
        KeyVertexSymbol,
        KeyUnknown
    };

    // The version written; files without a version statement are read as 1.0.
    static constexpr double currentFileFormatVersion = 1.03;

    StackIO();
    StackIO(const StackIO& other);
    StackIO& operator=(const StackIO& other);
    ~StackIO() override;

    // The code of a keyword spelling, KeyUnknown when none matches.
    int getKeyword(std::string_view word) const;
    // The written (first) spelling of a code; empty for KeyUnknown and codes
    // out of range.
    const std::string& getString(int code) const;
    // Every spelling of a code, the written one first.
    const std::vector<std::string>& getSpellings(int code) const;

    // Free text in a quoted argument: ";" becomes "__SC__", a line feed
    // "__NL__" and a double quote "__DQ__", one replacement after the other;
    // importString undoes them in the same order.
    static std::string exportString(const std::string& text);
    static std::string importString(const std::string& text);
    // Every occurrence of what, scanning left to right and going on after
    // each inserted text (nothing for an empty what).
    static std::string replace(const std::string& text, const std::string& what, const std::string& with);

    // Numbers as the file holds them, whatever the user's locale. Integers
    // read like base-10 strtol (leading blanks and a sign allowed, the valid
    // prefix used, 0 when there is none), clamped to the int range; reals
    // like strtod/strtof (decimal, hexadecimal, "inf" and "nan" forms).
    static int toInteger(std::string_view text);
    static double toDouble(std::string_view text);
    static float toFloat(std::string_view text);
    // "1" or "true" is true, anything else false.
    static bool toBool(std::string_view text) { return text == "1" || text == "true"; }
    // Appends the decimal form of an integer, or a real in the default stream
    // form (six significant digits, no trailing zeros, exponent form for very
    // small or large values).
    static void appendInteger(std::string& out, long long value);
    static void appendReal(std::string& out, double value);

    void setFileFormatVersion(double version) { m_version = version; }
    double getFileFormatVersion() const { return m_version; }
    // Whether the version is at least v (with a margin of 0.00001 for the
    // decimal versions stored in binary).
    bool ensureFileFormatVersion(double v) const { return m_version + 0.00001 >= v; }

    // One line of the log and where it comes from. An error is a statement
    // refused, a value that makes no sense or data left unread; a warning
    // is a doubt about data that was read (an image whose size changed since
    // the file was written). A fatal error is one the application refuses the
    // whole stack for (a slice image that cannot be read).
    struct LogEntry {
        enum Severity { Warning, Error };
        Severity severity = Error;
        bool fatal = false;
        // The line of the file where the statement begins (1 the first); 0
        // for a line about the file as a whole.
        int line = 0;
        // The statement's first word as written.
        std::string keyword;
        // The log line, as getLog() holds it.
        std::string text;
    };

    // The messages of the last read, in order.
    const std::vector<std::string>& getLog() const { return m_log; }
    // The same with their severity, line and keyword.
    const std::vector<LogEntry>& getLogEntries() const { return m_entries; }
    // The fatal errors of the last read or write.
    int getNumFatalErrors() const { return m_numFatalErrors; }
    // The errors of the last read, fatal ones included.
    int getNumErrors() const { return m_numErrors; }

    // Whether text is wholly a base-10 integer within the int range (a sign
    // allowed, no blanks), and wholly a finite real (decimal or hexadecimal
    // form, a sign allowed): the numbers toInteger and toDouble read without
    // dropping anything.
    static bool isInteger(std::string_view text);
    static bool isFiniteReal(std::string_view text);

protected:
    void clearLog()
    {
        m_log.clear();
        m_entries.clear();
        m_numFatalErrors = 0;
        m_numErrors = 0;
    }
    void addLog(LogEntry entry);

private:
    double m_version = currentFileFormatVersion;
    std::vector<std::string> m_log;
    std::vector<LogEntry> m_entries;
    int m_numFatalErrors = 0;
    int m_numErrors = 0;
};
