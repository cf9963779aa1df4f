#include "stack/modelitemselection.h"

#include <algorithm>

void ModelItemSelection::set(bool flag)
{
    std::fill(m_flags.begin(), m_flags.end(), flag ? 1 : 0);
}

void ModelItemSelection::set(bool flag, int i, bool exclusive)
{
    if (exclusive)
        set(false);
    m_flags[i] = flag ? 1 : 0;
}

void ModelItemSelection::invert()
{
    for (unsigned char& f : m_flags)
        f = f ? 0 : 1;
}

bool ModelItemSelection::isEmpty() const
{
    return std::none_of(m_flags.begin(), m_flags.end(), [](unsigned char f) { return f != 0; });
}

bool ModelItemSelection::isComplete() const
{
    return std::all_of(m_flags.begin(), m_flags.end(), [](unsigned char f) { return f != 0; });
}

int ModelItemSelection::getSize() const
{
    return static_cast<int>(std::count_if(m_flags.begin(), m_flags.end(),
                                          [](unsigned char f) { return f != 0; }));
}

void ModelItemSelection::insert(int i, bool flag)
{
    m_flags.insert(m_flags.begin() + i, flag ? 1 : 0);
}

void ModelItemSelection::remove(int i)
{
    m_flags.erase(m_flags.begin() + i);
}

void ModelItemSelection::remove(int i, int j)
{
    m_flags.erase(m_flags.begin() + i, m_flags.begin() + j + 1);
}
