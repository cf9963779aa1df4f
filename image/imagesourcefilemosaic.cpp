#include "image/imagesourcefilemosaic.h"

#include "image/colormap.h"

#include <climits>
#include <cstdint>
#include <algorithm>
#include <numeric>

namespace {

const char* const setWhere = "void ImageSourceFileMosaic::setFilename(...)";

bool sameColormap(const Colormap* a, const Colormap* b)
{
    if (!a || !b)
        return a == b;
    return *a == *b;
}

std::int64_t total(const std::vector<int>& sizes)
{
    return std::accumulate(sizes.begin(), sizes.end(), std::int64_t(0));
}

} // namespace

ImageSourceFileMosaic::ImageSourceFileMosaic(int rows, int cols)
{
    // Row heights and column widths cost an int each even when the other
    // count is 0: each count is bounded on its own too.
    if (rows < 0 || cols < 0 || rows > maxCells || cols > maxCells || std::int64_t(rows) * cols > maxCells)
        throw SizeError("ImageSourceFileMosaic::ImageSourceFileMosaic(int, int)",
                        "Invalid mosaic dimensions");
    m_rows = rows;
    m_cols = cols;
    m_tiles.resize(static_cast<std::size_t>(rows) * cols);
    m_rowHeights.assign(rows, 0);
    m_colWidths.assign(cols, 0);
}

ImageSourceFileMosaic::ImageSourceFileMosaic(const ImageSourceFileMosaic& other)
    : ImageSource(other), m_rows(other.m_rows), m_cols(other.m_cols),
      m_tiles(other.m_tiles.size()), m_rowHeights(other.m_rowHeights),
      m_colWidths(other.m_colWidths)
{
    for (std::size_t i = 0; i < m_tiles.size(); ++i)
        if (other.m_tiles[i])
            m_tiles[i] = std::make_unique<ImageSourceFile>(*other.m_tiles[i]);
}

ImageSourceFileMosaic& ImageSourceFileMosaic::operator=(const ImageSourceFileMosaic& other)
{
    if (this != &other) {
        ImageSourceFileMosaic copy(other);
        *this = std::move(copy);
    }
    return *this;
}

std::unique_ptr<ImageSource> ImageSourceFileMosaic::clone() const
{
    return std::make_unique<ImageSourceFileMosaic>(*this);
}

int ImageSourceFileMosaic::getSize1() const
{
    return static_cast<int>(total(m_rowHeights));
}

int ImageSourceFileMosaic::getSize2() const
{
    return static_cast<int>(total(m_colWidths));
}

int ImageSourceFileMosaic::getDepth() const
{
    const ImageSourceFile* first = firstTile();
    return first ? first->getDepth() : 0;
}

const Colormap* ImageSourceFileMosaic::getColormap() const
{
    const ImageSourceFile* first = firstTile();
    return first ? first->getColormap() : nullptr;
}

const ImageSourceFile* ImageSourceFileMosaic::getTile(int row, int col) const
{
    if (row < 0 || row >= m_rows || col < 0 || col >= m_cols)
        return nullptr;
    return m_tiles[static_cast<std::size_t>(row) * m_cols + col].get();
}

std::string ImageSourceFileMosaic::getFilename(int row, int col) const
{
    const ImageSourceFile* tile = getTile(row, col);
    return tile ? tile->getFilename() : std::string();
}

void ImageSourceFileMosaic::setFilename(int row, int col, const std::string& name)
{
    if (row < 0 || row >= m_rows || col < 0 || col >= m_cols)
        throw RangeError(setWhere, "Mosaic position out of range");
    std::unique_ptr<ImageSourceFile>& cell = m_tiles[static_cast<std::size_t>(row) * m_cols + col];
    if (cell)
        throw ValueError(setWhere, "Mosaic position already set");

    auto tile = std::make_unique<ImageSourceFile>();
    try {
        tile->setFilename(name);
    } catch (Exception& e) {
        e.addCall(setWhere);
        throw;
    }

    if (firstTile()) {
        if (tile->getDepth() != getDepth())
            throw DepthError(setWhere, "Incompatible image depths");
        if (!sameColormap(tile->getColormap(), getColormap()))
            throw ColormapError(setWhere, "Incompatible colormaps");
    }
    const int height = m_rowHeights[row] ? m_rowHeights[row] : tile->getSize1();
    const int width = m_colWidths[col] ? m_colWidths[col] : tile->getSize2();
    if (tile->getSize1() != height || tile->getSize2() != width)
        throw SizeError(setWhere, "Incompatible image dimensions");

    // The assembled image must stay within what one image can hold.
    const std::int64_t rows = total(m_rowHeights) - m_rowHeights[row] + height;
    const std::int64_t cols = total(m_colWidths) - m_colWidths[col] + width;
    if (rows > INT_MAX || cols > INT_MAX || rows * cols * (tile->getDepth() / 8) > INT_MAX)
        throw SizeError(setWhere, "Mosaic image is too large");

    m_rowHeights[row] = height;
    m_colWidths[col] = width;
    cell = std::move(tile);
}

Vector<int> ImageSourceFileMosaic::rowHeights() const
{
    Vector<int> v(static_cast<unsigned>(m_rows));
    for (int i = 0; i < m_rows; ++i)
        v[i] = m_rowHeights[i];
    return v;
}

Vector<int> ImageSourceFileMosaic::colWidths() const
{
    Vector<int> v(static_cast<unsigned>(m_cols));
    for (int i = 0; i < m_cols; ++i)
        v[i] = m_colWidths[i];
    return v;
}

void ImageSourceFileMosaic::clear()
{
    for (auto& tile : m_tiles)
        tile.reset();
    std::fill(m_rowHeights.begin(), m_rowHeights.end(), 0);
    std::fill(m_colWidths.begin(), m_colWidths.end(), 0);
}

const ImageSourceFile* ImageSourceFileMosaic::firstTile() const
{
    for (const auto& tile : m_tiles)
        if (tile)
            return tile.get();
    return nullptr;
}
