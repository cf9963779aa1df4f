#include "numerics/numbers.h"

#include "numerics/elementtype.h"

#include <ostream>

namespace {

template <typename T>
void printField(std::ostream& os, const char* label, bool present, T value)
{
    os << label;
    if (present)
        os << +value; // small integer types print as numbers
    else
        os << "NA";
    os << std::endl;
}

} // namespace

template <typename T>
std::ostream& operator<<(std::ostream& os, const Numbers<T>& n)
{
    printField(os, "Count:   ", n.hasCount(), n.getCount());
    printField(os, "Minimum: ", n.hasMinimum(), n.getMinimum());
    printField(os, "Median:  ", n.hasMedian(), n.getMedian());
    printField(os, "Maximum: ", n.hasMaximum(), n.getMaximum());
    printField(os, "Sum:     ", n.hasSum(), n.getSum());
    printField(os, "Mean:    ", n.hasMean(), n.getMean());
    printField(os, "StdDev:  ", n.hasStddev(), n.getStddev());
    return os;
}

#define PLEXAN_INSTANTIATE(T) \
    template class Numbers<T>; \
    template std::ostream& operator<<(std::ostream&, const Numbers<T>&);
PLEXAN_FOR_EACH_ELEMENT_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
