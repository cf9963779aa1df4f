#include "numerics/exception.h"

#include <cstdio>
#include <ostream>

Exception::Exception() : m_what("Undocumented error") {}

Exception::Exception(const std::string& where, const std::string& what)
    : m_where(where), m_what(what)
{
}

void Exception::addWhere(const std::string& call)
{
    ++m_callCount;
    if (m_callCount > 1)
        m_calls += '\n';
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "[%d] ", m_callCount);
    m_calls += prefix;
    m_calls += call;
}

std::string Exception::callStack() const
{
    return "[0] " + m_where + "\n" + m_calls;
}

std::ostream& operator<<(std::ostream& os, const Exception& e)
{
    os << "Exception raised:" << std::endl;
    os << "  What: " << e.getWhat() << std::endl;
    os << "  Where: " << e.getWhere() << std::endl;
    os << "  " << e.callStack() << std::endl;
    return os;
}
