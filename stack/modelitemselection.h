#pragma once
// ModelItemSelection: one selected flag per vertex of a model item, kept the
// same length as the item's vertex list by the item's editing operations.

#include <algorithm>
#include <vector>

class ModelItemSelection {
public:
    ModelItemSelection() = default;
    explicit ModelItemSelection(int length) { reset(length); }

    // Length n, nothing selected.
    void reset(int n) { m_flags.assign(n > 0 ? static_cast<std::size_t>(n) : 0u, 0); }
    int getLength() const { return static_cast<int>(m_flags.size()); }

    // Every flag.
    void set(bool flag);
    // Flag i; exclusive clears every other flag first.
    void set(bool flag, int i, bool exclusive);
    void invert();
    // Follows a reversal of the vertex order.
    void reverse() { std::reverse(m_flags.begin(), m_flags.end()); }

    // Both true for zero vertices.
    bool isEmpty() const;
    bool isComplete() const;
    bool isSelected(int i) const { return m_flags[i] != 0; }
    // Number of selected vertices.
    int getSize() const;

    // A flag inserted before position i (i = length appends).
    void insert(int i, bool flag);
    void remove(int i);
    // Positions i to j inclusive.
    void remove(int i, int j);

    bool operator==(const ModelItemSelection& other) const { return m_flags == other.m_flags; }
    bool operator!=(const ModelItemSelection& other) const { return !(*this == other); }

private:
    // One byte per flag: cheap to scan and to insert into.
    std::vector<unsigned char> m_flags;
};
