#include "numerics/trace.h"

#include <cstdlib>
#include <cstring>

namespace {

struct TraceState {
    bool enabled;
    int level = 0;
    std::ostream* stream = &std::cout;
    TraceState()
    {
        const char* env = std::getenv("PLEXAN_TRACE");
        enabled = env != nullptr && std::strcmp(env, "0") != 0;
    }
};

TraceState& state()
{
    static TraceState s;
    return s;
}

} // namespace

bool Trace::isEnabled() { return state().enabled; }
void Trace::setEnabled(bool enabled) { state().enabled = enabled; }
void Trace::setStream(std::ostream& stream) { state().stream = &stream; }
int Trace::getLevel() { return state().level; }

void Trace::write(const char* prefix, const std::string& text)
{
    TraceState& s = state();
    *s.stream << std::string(static_cast<std::size_t>(2 * s.level), ' ') << prefix << text << std::endl;
}

void Trace::enter(const std::string& name)
{
    if (!isEnabled())
        return;
    write("ENTER> ", name);
    ++state().level;
}

void Trace::leave(const std::string& name)
{
    if (!isEnabled())
        return;
    if (state().level > 0)
        --state().level;
    write("LEAVE> ", name);
}

void Trace::print(const std::string& text)
{
    if (isEnabled())
        write("PRINT> ", text);
}
