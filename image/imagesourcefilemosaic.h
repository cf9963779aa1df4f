#pragma once
// ImageSourceFileMosaic: a slice image assembled from a grid of image files.
// Every tile of a row has the row's height and every tile of a column the
// column's width, both fixed by the first tile placed there; all tiles share
// one depth and one colormap. Cells may stay empty (black in the assembled
// image). Reading it pastes the tiles side by side, see
// ImageReader::read(Image&, const ImageSourceFileMosaic&).

#include "image/imagesource.h"
#include "image/imagesourcefile.h"

#include <memory>
#include <string>
#include <vector>

class ImageSourceFileMosaic : public ImageSource {
public:
    // At most this many cells: beyond, the grid is refused as invalid.
    static constexpr int maxCells = 1 << 16;

    // An empty grid: no tile, all row heights and column widths 0.
    explicit ImageSourceFileMosaic(int rows = 0, int cols = 0);
    ImageSourceFileMosaic(const ImageSourceFileMosaic& other);
    ImageSourceFileMosaic& operator=(const ImageSourceFileMosaic& other);
    ImageSourceFileMosaic(ImageSourceFileMosaic&&) noexcept = default;
    ImageSourceFileMosaic& operator=(ImageSourceFileMosaic&&) noexcept = default;

    std::unique_ptr<ImageSource> clone() const override;
    int getType() const override { return FileMosaicType; }
    bool isDefined() const override { return firstTile() != nullptr; }
    // Sums of the row heights and of the column widths.
    int getSize1() const override;
    int getSize2() const override;
    // Those of the first tile in row-major order (0 and null when none).
    int getDepth() const override;
    const Colormap* getColormap() const override;

    // Places the file `name` at (row, col), reading its header. The cell must
    // be empty and the tile must agree with the mosaic in depth, colormap and
    // size (its row's height and its column's width, where already fixed);
    // a refused tile leaves the mosaic as it was.
    void setFilename(int row, int col, const std::string& name);
    // Empty for an unset or out-of-range cell.
    std::string getFilename(int row, int col) const;
    // The tile at (row, col), null for an unset or out-of-range cell.
    const ImageSourceFile* getTile(int row, int col) const;

    int getRows() const { return m_rows; }
    int getCols() const { return m_cols; }
    Vector<int> rowHeights() const;
    Vector<int> colWidths() const;

    // Removes every tile and sets all heights and widths back to 0.
    void clear();

private:
    // The first set tile in row-major order, null when none.
    const ImageSourceFile* firstTile() const;

    int m_rows = 0;
    int m_cols = 0;
    std::vector<std::unique_ptr<ImageSourceFile>> m_tiles; // row-major
    std::vector<int> m_rowHeights;
    std::vector<int> m_colWidths;
};
