#pragma once
// SmallBuffer<T, N>: working storage for `size` values, inside the object up
// to N of them and on the heap beyond, contents left unwritten. The
// decompositions of small matrices, which a caller may run by the million,
// keep their temporaries in it and allocate nothing.

#include <cstddef>
#include <memory>

namespace plexan {

template <typename T, std::size_t N>
class SmallBuffer {
public:
    explicit SmallBuffer(std::size_t size)
    {
        if (size > N) {
            m_heap.reset(new T[size]);
            m_data = m_heap.get();
        }
    }
    SmallBuffer(const SmallBuffer&) = delete;
    SmallBuffer& operator=(const SmallBuffer&) = delete;

    T* data() { return m_data; }
    T& operator[](std::ptrdiff_t i) { return m_data[i]; }

private:
    T m_local[N];
    std::unique_ptr<T[]> m_heap;
    T* m_data = m_local;
};

} // namespace plexan
