#pragma once
// IteratedFilter: the number of times a filter is applied in a row.

class IteratedFilter {
public:
    virtual ~IteratedFilter() = default;

    void setNumIterations(int n) { m_numIterations = n; }
    int getNumIterations() const { return m_numIterations; }

private:
    int m_numIterations = 1;
};
