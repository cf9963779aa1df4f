#include "numerics/elementtype.h"

#include "numerics/exception.h"

#include <cctype>

namespace plexan {

std::string concreteSignature(const std::string& signature, const std::string& type)
{
    auto isIdentifier = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    std::string out;
    out.reserve(signature.size() + 32);
    for (std::size_t i = 0; i < signature.size(); ++i) {
        const bool standalone = signature[i] == 'T' && (i == 0 || !isIdentifier(signature[i - 1]))
            && (i + 1 == signature.size() || !isIdentifier(signature[i + 1]));
        if (standalone)
            out += type;
        else
            out += signature[i];
    }
    return out;
}

void throwTypeNotAvailable(const std::string& signature, const std::string& type)
{
    TypeError e;
    e.setWhere(concreteSignature(signature, type));
    e.setWhat("Method not available for type '" + type + "'");
    throw e;
}

} // namespace plexan
