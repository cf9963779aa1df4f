#include "cli/arguments.h"

#include <charconv>
#include <cmath>
#include <limits>

void Arguments::addOption(const std::string& name, int count)
{
    m_options[name] = count < 1 ? 1 : count;
}

void Arguments::addFlag(const std::string& name)
{
    m_flags.insert(name);
}

void Arguments::setPositionalCount(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
}

void Arguments::parse(const std::vector<std::string>& args)
{
    for (const std::string& a : args)
        if (a == "--")
            break;
        else if (a == "--help" || a == "-h") {
            m_help = true;
            return;
        }

    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-' || (a[1] >= '0' && a[1] <= '9') || a[1] == '.') {
            m_positionals.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = a;
        std::vector<std::string> inlineValue;
        if (const auto equal = a.find('='); a.compare(0, 2, "--") == 0 && equal != std::string::npos) {
            name = a.substr(0, equal);
            inlineValue.push_back(a.substr(equal + 1));
        }
        if (m_flags.count(name)) {
            if (!inlineValue.empty())
                throw ArgumentError("option " + name + " takes no value");
            m_given.insert(name);
            continue;
        }
        const auto option = m_options.find(name);
        if (option == m_options.end())
            throw ArgumentError("unknown option " + name);
        const auto count = static_cast<std::size_t>(option->second);
        std::vector<std::string> values = inlineValue;
        if (!inlineValue.empty() && count != 1)
            throw ArgumentError("option " + name + " takes " + std::to_string(count) + " values");
        while (values.size() < count) {
            if (++i >= args.size())
                throw ArgumentError("option " + name + " needs " +
                                    (count == 1 ? std::string("a value") : std::to_string(count) + " values"));
            values.push_back(args[i]);
        }
        m_values[name] = values;
        m_given.insert(name);
    }

    const int n = static_cast<int>(m_positionals.size());
    if (n < m_minimum)
        throw ArgumentError(m_minimum - n == 1 && m_maximum == m_minimum
                                ? "missing argument"
                                : "expected " + std::string(m_maximum == m_minimum ? "" : "at least ") +
                                      std::to_string(m_minimum) + " argument" + (m_minimum == 1 ? "" : "s") +
                                      ", got " + std::to_string(n));
    if (m_maximum >= 0 && n > m_maximum)
        throw ArgumentError("unexpected argument \"" + m_positionals[static_cast<std::size_t>(m_maximum)] + "\"");
}

bool Arguments::has(const std::string& name) const
{
    return m_given.count(name) != 0;
}

std::string Arguments::value(const std::string& name, const std::string& fallback) const
{
    const auto v = m_values.find(name);
    return v == m_values.end() || v->second.empty() ? fallback : v->second.front();
}

const std::vector<std::string>& Arguments::values(const std::string& name) const
{
    static const std::vector<std::string> none;
    const auto v = m_values.find(name);
    return v == m_values.end() ? none : v->second;
}

double Arguments::toReal(const std::string& text, const std::string& what)
{
    double value = 0.0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || error != std::errc() || end != last || !std::isfinite(value))
        throw ArgumentError(what + " must be a number, not \"" + text + "\"");
    return value;
}

int Arguments::toInteger(const std::string& text, const std::string& what)
{
    int value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || error != std::errc() || end != last)
        throw ArgumentError(what + " must be an integer, not \"" + text + "\"");
    return value;
}

std::vector<double> Arguments::toReals(const std::string& text, const std::string& what)
{
    std::vector<double> values;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        values.push_back(toReal(text.substr(start, comma - start), what));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return values;
}

std::string Arguments::toChoice(const std::string& text, const std::vector<std::string>& allowed,
                                const std::string& what)
{
    std::string list;
    for (const std::string& a : allowed) {
        if (a == text)
            return text;
        list += (list.empty() ? "" : ", ") + a;
    }
    throw ArgumentError(what + " must be one of " + list + ", not \"" + text + "\"");
}
