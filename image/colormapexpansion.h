#pragma once
// ColormapExpansion: turns an indexed image into a direct one of the target
// depth. 24 and 32 bits take each pixel's red, green and blue from the
// colormap (the fourth byte of 32-bit pixels is 0); 8 bits is done only for a
// grey colormap and takes its red component. Images that are not indexed, and
// colour images asked for 8 bits, are left as they are.

class Image;

class ColormapExpansion {
public:
    ColormapExpansion() = default;
    explicit ColormapExpansion(int targetDepth) { setTargetDepth(targetDepth); }

    // 8, 24 or 32 (DepthError otherwise); 24 by default.
    void setTargetDepth(int depth);
    int getTargetDepth() const { return m_targetDepth; }

    void apply(Image& image) const;
    // out becomes the expansion of in; out and in may be the same image.
    void apply(Image& out, const Image& in) const;

private:
    int m_targetDepth = 24;
};
