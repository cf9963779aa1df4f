#pragma once
// The one way failures travel through the library: an Exception carries the
// signature of the function that raised it (where), a message (what) and the
// list of functions it passed through on its way up (calls).
//
// Raising convention:
//     SizeError e; e.setWhere("void Vector<T>::setSize(const int)");
//     e.setWhat("This is a shallow vector (cannot be resized)"); throw e;
// A function that wants to mark its passage catches by reference, calls
// addCall() with its own signature and rethrows.

#include <iosfwd>
#include <string>

class Exception {
public:
    Exception();
    Exception(const std::string& where, const std::string& what);
    virtual ~Exception() = default;

    void setWhere(const std::string& where) { m_where = where; }
    const std::string& getWhere() const { return m_where; }
    void setWhat(const std::string& what) { m_what = what; }
    const std::string& getWhat() const { return m_what; }

    // Appends "[k] " + call to the call list, k counting the calls added so far.
    void addWhere(const std::string& call);
    void addCall(const std::string& call) { addWhere(call); }
    const std::string& getCalls() const { return m_calls; }
    int getCallCount() const { return m_callCount; }

    // "[0] " + where, a line break, then the call list.
    std::string callStack() const;

private:
    std::string m_where;
    std::string m_what;
    std::string m_calls;
    int m_callCount = 0;
};

std::ostream& operator<<(std::ostream& os, const Exception& e);

// Every subclass only sets its own default message.
#define PLEXAN_EXCEPTION_CLASS(Name, Base, DefaultWhat)                              \
    class Name : public Base {                                                       \
    public:                                                                          \
        Name() { setWhat(DefaultWhat); }                                             \
        Name(const std::string& where, const std::string& what) : Name()             \
        {                                                                            \
            setWhere(where);                                                         \
            setWhat(what);                                                           \
        }                                                                            \
    };

PLEXAN_EXCEPTION_CLASS(ValueError, Exception, "Undocumented value error")
PLEXAN_EXCEPTION_CLASS(UsageError, Exception, "Undocumented usage error")
PLEXAN_EXCEPTION_CLASS(TypeError, Exception, "Undocumented type error")
PLEXAN_EXCEPTION_CLASS(SizeError, Exception, "Undocumented size error")
PLEXAN_EXCEPTION_CLASS(RangeError, Exception, "Undocumented range error")
PLEXAN_EXCEPTION_CLASS(ProgramError, Exception, "Undocumented program error")
PLEXAN_EXCEPTION_CLASS(MathError, Exception, "Undocumented mathematical error")
PLEXAN_EXCEPTION_CLASS(DepthError, Exception, "Image depth error")
PLEXAN_EXCEPTION_CLASS(ColormapError, Exception, "Colormap error")

// A file error also names the file concerned.
class FileError : public Exception {
public:
    FileError() { setWhat("Undocumented file error"); }
    FileError(const std::string& where, const std::string& what, const std::string& file = {})
        : FileError()
    {
        setWhere(where);
        setWhat(what);
        m_file = file;
    }
    void setFile(const std::string& file) { m_file = file; }
    const std::string& getFile() const { return m_file; }

private:
    std::string m_file;
};

#define PLEXAN_FILE_EXCEPTION_CLASS(Name, DefaultWhat)                                    \
    class Name : public FileError {                                                       \
    public:                                                                               \
        Name() { setWhat(DefaultWhat); }                                                  \
        Name(const std::string& where, const std::string& what, const std::string& file = {}) \
            : Name()                                                                      \
        {                                                                                 \
            setWhere(where);                                                              \
            setWhat(what);                                                                \
            setFile(file);                                                                \
        }                                                                                 \
    };

PLEXAN_FILE_EXCEPTION_CLASS(FileReadError, "Undocumented file read error")
PLEXAN_FILE_EXCEPTION_CLASS(FileWriteError, "Undocumented file write error")
PLEXAN_FILE_EXCEPTION_CLASS(FileFormatError, "Undocumented file format error")

#undef PLEXAN_EXCEPTION_CLASS
#undef PLEXAN_FILE_EXCEPTION_CLASS
