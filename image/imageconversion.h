#pragma once
// ImageConversion: brings an image to a requested kind, given by three
// settings: grey or not, indexed or not, and the depth (by default a
// non-indexed 8-bit grey image). An image already of the requested kind is
// left alone. An indexed image asked to become an 8-bit grey image gets a
// grey colormap ((r + g + b) / 3 per cell) and, when the request is not
// indexed, the colormap's grey levels as its pixels and no colormap. Other
// requests are not supported: a line says so on the error output and the
// image is left unchanged.

class Image;

class ImageConversion {
public:
    void setGrayscale(bool grayscale) { m_grayscale = grayscale; }
    bool isGrayscale() const { return m_grayscale; }
    void setIndexed(bool indexed) { m_indexed = indexed; }
    bool isIndexed() const { return m_indexed; }
    void setTargetDepth(int depth) { m_targetDepth = depth; }
    int getTargetDepth() const { return m_targetDepth; }

    // Returns whether the image is now of the requested kind.
    bool apply(Image& image) const;

private:
    bool m_grayscale = true;
    bool m_indexed = false;
    int m_targetDepth = 8;
};
