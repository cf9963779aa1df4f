#include "imageprocessing/meanfilter.h"

#include "image/colormap.h"
#include "image/image.h"
#include "image/imageconversion.h"
#include "imageprocessing/linefilters.h"
#include "imageprocessing/progresssteps.h"

#include <cstdint>
#include <cstring>
#include <vector>

using namespace plexan::lines;

namespace {

// Sample reads and writes, 16-bit samples in native byte order.
template <typename Sample>
inline Sample load(const unsigned char* p)
{
    Sample s;
    std::memcpy(&s, p, sizeof(Sample));
    return s;
}

template <typename Sample>
inline void store(unsigned char* p, Sample s)
{
    std::memcpy(p, &s, sizeof(Sample));
}

// The box mean of channel `offset` of every pixel (bytes per pixel `step`),
// through a plane of Sum-typed values.
template <typename Sample, typename Sum>
void meanOfChannel(Image& image, int offset, int step, int h, ProgressSteps& progress)
{
    const int width = image.getWidth();
    const int height = image.getHeight();
    if (width < 1 || height < 1)
        return;
    std::vector<Sum> plane(static_cast<std::size_t>(width) * height);
    std::vector<Sum*> rows(height);
    std::vector<Sum> line(width);
    for (int y = 0; y < height; ++y) {
        rows[y] = plane.data() + static_cast<std::size_t>(y) * width;
        const unsigned char* p = image.getRow(y) + offset;
        for (int x = 0; x < width; ++x)
            line[x] = static_cast<Sum>(load<Sample>(p + static_cast<std::size_t>(x) * step));
        boxSumLine(line.data(), rows[y], width, h);
    }
    progress.advance();
    Workspace<Sum> ws;
    acrossLines(rows.data(), static_cast<const Sum* const*>(nullptr), height, width, ws,
                [h, &ws](const Sum* const* in, const Sum* const*, Sum* const* out, int n, int w) {
                    boxSumAcross(in, out, n, w, h, ws.scratch);
                });
    const Sum area = static_cast<Sum>((2 * h + 1) * (2 * h + 1));
    for (int y = 0; y < height; ++y) {
        unsigned char* p = image.getRow(y) + offset;
        const Sum* s = rows[y];
        for (int x = 0; x < width; ++x)
            store<Sample>(p + static_cast<std::size_t>(x) * step, static_cast<Sample>(s[x] / area));
    }
    progress.advance();
}

} // namespace

void MeanFilter::apply(Image& out, const Image& in)
{
    out = in;
    apply(out);
}

void MeanFilter::apply(Image& image)
{
    if (getHalfSize() < 1)
        return;
    if (image.isIndexed()) {
        if (image.getColormap()->isGrayscale()) {
            ImageConversion grey; // non-indexed 8-bit grey
            grey.apply(image);
        } else {
            image.make24bits();
        }
    }
    switch (image.getDepth()) {
    case 8:
        if (m_optimization)
            optMeanFilter8(image);
        else
            meanFilter8(image);
        break;
    case 16:
        meanFilter16(image);
        break;
    case 24:
        meanFilter24(image);
        break;
    case 32:
        meanFilter32(image);
        break;
    default:
        break;
    }
}

void MeanFilter::meanFilter8(Image& image)
{
    ProgressSteps progress(*this, 2, "Mean filter");
    meanOfChannel<std::uint8_t, std::uint32_t>(image, 0, 1, getHalfSize(), progress);
    progress.finish();
}

// 8-bit rows are contiguous: the sums are taken straight from the rows and
// the sums divided straight into the rows.
void MeanFilter::optMeanFilter8(Image& image)
{
    const int h = getHalfSize();
    const int width = image.getWidth();
    const int height = image.getHeight();
    ProgressSteps progress(*this, 2, "Mean filter");
    if (width > 0 && height > 0) {
        std::vector<std::uint32_t> plane(static_cast<std::size_t>(width) * height);
        std::vector<std::uint32_t*> rows(height);
        std::vector<std::uint32_t> line(width);
        for (int y = 0; y < height; ++y) {
            rows[y] = plane.data() + static_cast<std::size_t>(y) * width;
            const unsigned char* p = image.getRow(y);
            std::copy(p, p + width, line.begin());
            boxSumLine(line.data(), rows[y], width, h);
        }
        progress.advance();
        Workspace<std::uint32_t> ws;
        acrossLines(rows.data(), static_cast<const std::uint32_t* const*>(nullptr), height, width, ws,
                    [h, &ws](const std::uint32_t* const* in, const std::uint32_t* const*, std::uint32_t* const* out,
                             int n, int w) { boxSumAcross(in, out, n, w, h, ws.scratch); });
        const std::uint32_t area = static_cast<std::uint32_t>((2 * h + 1) * (2 * h + 1));
        for (int y = 0; y < height; ++y) {
            unsigned char* p = image.getRow(y);
            const std::uint32_t* s = rows[y];
            for (int x = 0; x < width; ++x)
                p[x] = static_cast<unsigned char>(s[x] / area);
        }
    }
    progress.advance();
    progress.finish();
}

void MeanFilter::meanFilter16(Image& image)
{
    ProgressSteps progress(*this, 2, "Mean filter");
    meanOfChannel<std::uint16_t, std::uint64_t>(image, 0, 2, getHalfSize(), progress);
    progress.finish();
}

void MeanFilter::meanFilter24(Image& image)
{
    ProgressSteps progress(*this, 6, "Mean filter");
    for (int c = 0; c < 3; ++c)
        meanOfChannel<std::uint8_t, std::uint32_t>(image, c, 3, getHalfSize(), progress);
    progress.finish();
}

void MeanFilter::meanFilter32(Image& image)
{
    ProgressSteps progress(*this, 8, "Mean filter");
    for (int c = 0; c < 4; ++c)
        meanOfChannel<std::uint8_t, std::uint32_t>(image, c, 4, getHalfSize(), progress);
    progress.finish();
}
