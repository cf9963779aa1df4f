#pragma once
// Arguments: the command line of one plexan-cli command, checked against
// what the command declares: its options (a name such as "--iso" or "-o",
// followed by a fixed number of values; "--name=value" is accepted for one
// value), its flags, and how many positional arguments it takes. "--"
// ends the options. Any mismatch is an ArgumentError, which the tool reports
// as a usage error (exit status 2).

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// A command line the command cannot run with; the message names the fault.
class ArgumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Arguments {
public:
    // An option taking count values (at least 1) and a flag.
    void addOption(const std::string& name, int count = 1);
    void addFlag(const std::string& name);
    // Positional arguments, from minimum to maximum (-1: no maximum).
    void setPositionalCount(int minimum, int maximum);

    // Parses args (the arguments after the command name). Whether "--help"
    // or "-h" was given is isHelp(); the rest is then not checked.
    void parse(const std::vector<std::string>& args);
    bool isHelp() const { return m_help; }

    const std::vector<std::string>& getPositionals() const { return m_positionals; }
    const std::string& positional(int i) const { return m_positionals[static_cast<std::size_t>(i)]; }
    bool has(const std::string& name) const;
    // The value of a one-value option; fallback when it was not given. An
    // option given twice keeps its last values.
    std::string value(const std::string& name, const std::string& fallback = "") const;
    const std::vector<std::string>& values(const std::string& name) const;

    // Numbers in the "C" form, the whole text being the number: ArgumentError
    // naming the option otherwise (and for reals that are not finite).
    static double toReal(const std::string& text, const std::string& what);
    static int toInteger(const std::string& text, const std::string& what);
    // A comma-separated list of reals ("50,90,99").
    static std::vector<double> toReals(const std::string& text, const std::string& what);
    // One of the allowed words.
    static std::string toChoice(const std::string& text, const std::vector<std::string>& allowed,
                                const std::string& what);

private:
    std::map<std::string, int> m_options;
    std::set<std::string> m_flags;
    int m_minimum = 0;
    int m_maximum = 0;

    bool m_help = false;
    std::vector<std::string> m_positionals;
    std::map<std::string, std::vector<std::string>> m_values;
    std::set<std::string> m_given;
};
