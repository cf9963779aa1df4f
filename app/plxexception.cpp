#include "app/plxexception.h"

PLXException::PLXException(const Exception& e) : Exception(e) {}

const char* PLXException::what() const noexcept
{
    return getWhat().c_str();
}

void PLXException::raise() const
{
    throw *this;
}

PLXException* PLXException::clone() const
{
    return new PLXException(*this);
}
