#pragma once
// The console trace: "ENTER> ", "LEAVE> ", "EVAL> " and "PRINT> " lines on the
// standard output, indented by two blanks per nesting level. Off unless
// switched on with setEnabled(true) or the environment variable PLEXAN_TRACE
// (any value but "0"), so that programs printing tables stay clean.

#include <iostream>
#include <sstream>
#include <string>

class Trace {
public:
    static bool isEnabled();
    static void setEnabled(bool enabled);
    // Where the lines go; the standard output by default.
    static void setStream(std::ostream& stream);
    static int getLevel();

    static void enter(const std::string& name);
    static void leave(const std::string& name);
    static void print(const std::string& text);
    template <typename V>
    static void eval(const std::string& expression, const V& value)
    {
        if (!isEnabled())
            return;
        std::ostringstream os;
        os << expression << " = " << value;
        write("EVAL> ", os.str());
    }

private:
    static void write(const char* prefix, const std::string& text);
};

// Enters on construction and leaves on destruction, also when unwinding.
class TraceScope {
public:
    explicit TraceScope(std::string name) : m_name(std::move(name)) { Trace::enter(m_name); }
    ~TraceScope() { Trace::leave(m_name); }
    TraceScope(const TraceScope&) = delete;
    TraceScope& operator=(const TraceScope&) = delete;

private:
    std::string m_name;
};
