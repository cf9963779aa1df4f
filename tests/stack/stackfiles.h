#pragma once
// Helpers of the stack file tests: a temporary directory tree, small image
// and voxel-matrix files, and random stacks whose every slice names a real
// image file.

#include "image/image.h"
#include "image/imagesourcefile.h"
#include "image/imagesourcefilemosaic.h"
#include "image/imagesourcevoxelmatrixplane.h"
#include "image/imagewriter.h"
#include "image/voxelmatrix.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/pose.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace stackfiletest {

class TemporaryDirectory {
public:
    TemporaryDirectory()
        : m_root(std::filesystem::temp_directory_path() /
                 ("plexan-stackfile-" + std::to_string(::getpid()) + "-" + std::to_string(s_count++)))
    {
        std::filesystem::remove_all(m_root);
        std::filesystem::create_directories(m_root);
    }
    ~TemporaryDirectory()
    {
        std::error_code error;
        std::filesystem::remove_all(m_root, error);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    // The root, with a trailing "/".
    std::string root() const { return m_root.string() + "/"; }
    // A path below the root, its directories created.
    std::string path(const std::string& relative) const
    {
        const std::filesystem::path p = m_root / relative;
        std::filesystem::create_directories(p.parent_path());
        return p.string();
    }

private:
    std::filesystem::path m_root;
    static inline int s_count = 0;
};

// A numeric locale with decimal commas and grouped thousands, made the
// global C++ locale while a CommaLocale lives: none of it may leak into files.
struct CommaDecimals : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

class CommaLocale {
public:
    CommaLocale() : m_previous(std::locale::global(std::locale(std::locale::classic(), new CommaDecimals))) {}
    ~CommaLocale() { std::locale::global(m_previous); }

private:
    std::locale m_previous;
};

inline std::string readFile(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeFile(const std::string& file, const std::string& text)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
}

// Writes a width x height image of the given depth (8 or 24) whose byte b of
// pixel (x, y) is value(x, y, b), as a TIFF file.
inline void writeImage(const std::string& file, int width, int height, int depth,
                       const std::function<int(int, int, int)>& value)
{
    Image image(width, height, depth);
    const int bpp = depth / 8;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int b = 0; b < bpp; ++b)
                image.getRow(y)[x * bpp + b] = static_cast<unsigned char>(value(x, y, b));
    ImageWriter().write(image, file, true);
}

// Bytes following (3x + 5y + 7b + seed) mod 256.
inline void writeTiff(const std::string& file, int width, int height, int depth = 8, int seed = 0)
{
    writeImage(file, width, height, depth,
               [seed](int x, int y, int b) { return (3 * x + 5 * y + 7 * b + seed) & 255; });
}

inline void writeVoxelMatrix(const std::string& file, int size1, int size2, int size3)
{
    VoxelMatrix<float> volume(size1, size2, size3);
    for (int k = 0; k < size3; ++k)
        for (int i = 0; i < size1; ++i)
            for (int j = 0; j < size2; ++j)
                volume(i, j, k) = static_cast<float>(i + 2 * j + 3 * k);
    volume.save(file, true);
}

// Random stacks covering everything the file stores. Names hold ";",
// blanks and double quotes (never ending a word but the last), annotations
// ";", line feeds and double quotes; every real value is a short decimal,
// and values read back as integers are integers, so that a stack written,
// read and written again gives the same text.
class RandomStack {
public:
    RandomStack(const TemporaryDirectory& directory, unsigned int seed) : m_directory(directory), m_rng(seed) {}

    // The stack file's name; the images lie beside it, in a subdirectory,
    // and in a sibling directory.
    std::string stackFile() const { return m_directory.root() + "stack/stack.sdf"; }

    void build(Stack& stack)
    {
        stack.setName(name("stack", 0));
        stack.setAnnotation(annotation());
        PixelCalibration c;
        c.setPixelWidth(static_cast<float>(uniform(1, 64)) / 16.0f);
        c.setAspectRatio(static_cast<float>(uniform(4, 16)) / 8.0f);
        c.setLengthUnit(LengthUnit(3 * uniform(-3, 0)));
        stack.setDefaultPixelCalibration(c);
        stack.setDefaultRelativePosition(static_cast<float>(uniform(1, 40)) / 4.0f);
        stack.setAbsoluteImagesPathPolicy(coin());
        stack.setLastSegmentedSlice(name("last", 1));
        stack.setLastRegisteredSlice(coin() ? std::string() : name("reg", 2));

        m_lastDirectory = "stack/";
        const int slices = uniform(4, 9);
        for (int i = 0; i < slices; ++i)
            addSlice(stack, i);
        const int models = uniform(3, 5);
        for (int i = 0; i < models; ++i)
            addModel(stack, i);
        const int poses = uniform(0, 3);
        for (int i = 0; i < poses; ++i)
            addPose(stack, i);
    }

private:
    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    bool coin() { return uniform(0, 1) == 1; }
    float shortReal(int lo, int hi) { return static_cast<float>(uniform(lo, hi)) / 8.0f; }

    std::string name(const std::string& prefix, int index)
    {
        static const std::string letters = "abcXYZ0129_-;.,:()'\"&";
        std::string text = prefix + std::to_string(index);
        const int words = uniform(0, 3);
        for (int w = 0; w < words; ++w) {
            std::string word;
            const int length = uniform(1, 5);
            for (int k = 0; k < length; ++k)
                word += letters[static_cast<std::size_t>(uniform(0, static_cast<int>(letters.size()) - 1))];
            // Only the last word may end with a quote: elsewhere it would
            // close the quoted argument.
            if (w + 1 < words && word.back() == '"')
                word.back() = 'q';
            text += " " + word;
        }
        return text;
    }

    std::string annotation()
    {
        if (uniform(0, 3) == 0)
            return {};
        static const std::string letters = "abc XYZ;;\n\n\"\"'.,_-";
        std::string text;
        const int length = uniform(1, 30);
        for (int k = 0; k < length; ++k) {
            const char c = letters[static_cast<std::size_t>(uniform(0, static_cast<int>(letters.size()) - 1))];
            // Blanks stay single and inside: runs of white space read as one.
            if (c == ' ' && (text.empty() || text.back() == ' '))
                continue;
            text += c;
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        return text;
    }

    std::string imageDirectory()
    {
        static const char* const directories[] = {"stack/", "images/", "stack/sub/dir/"};
        m_lastDirectory = directories[uniform(0, 2)];
        return m_lastDirectory;
    }

    void addSlice(Stack& stack, int i)
    {
        auto* slice = new StackSlice(name("slice", i));
        stack.addSlice(slice);
        const int kind = i == 0 ? 0 : uniform(0, 9);
        if (kind < 6) {
            const std::string file = m_directory.path(imageDirectory() + "image" + std::to_string(i) + ".tif");
            writeTiff(file, uniform(4, 12), uniform(4, 12), coin() ? 8 : 24, i);
            slice->setImageSource(ImageSourceFile(file));
        } else if (kind < 8) {
            // Tiles lie where the last images path points.
            const int rows = uniform(1, 2);
            const int cols = uniform(1, 3);
            std::vector<int> heights(rows), widths(cols);
            for (int& h : heights)
                h = uniform(3, 6);
            for (int& w : widths)
                w = uniform(3, 6);
            ImageSourceFileMosaic mosaic(rows, cols);
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < cols; ++c)
                    if ((r == 0 && c == 0) || coin()) {
                        const std::string file = m_directory.path(m_lastDirectory + "tile" + std::to_string(i) +
                                                                  "_" + std::to_string(r) + std::to_string(c) + ".tif");
                        writeTiff(file, widths[c], heights[r], 8, r + c);
                        mosaic.setFilename(r, c, file);
                    }
            slice->setImageSource(mosaic);
        } else if (kind < 9) {
            const std::string file = m_directory.path(imageDirectory() + "volume.vm");
            if (!std::filesystem::exists(file))
                writeVoxelMatrix(file, 5, 7, 4);
            ImageSourceVoxelMatrixPlane plane;
            plane.setVoxelMatrixFilename(file);
            plane.setPlane(uniform(0, 3));
            slice->setImageSource(plane);
        } // else a slice without image

        PixelCalibration c = stack.getDefaultPixelCalibration();
        if (coin()) {
            c.setPixelWidth(static_cast<float>(uniform(1, 64)) / 32.0f);
            c.setAspectRatio(static_cast<float>(uniform(4, 16)) / 4.0f);
        }
        slice->setPixelCalibration(c);
        switch (uniform(0, 2)) {
        case 0:
            break; // the stack's spacing
        case 1:
            slice->setRelativePosition(shortReal(1, 100));
            break;
        default:
            slice->setAbsolutePosition(shortReal(-100, 400));
            break;
        }
        if (coin())
            slice->setRegistration(Registration(uniform(-20, 20), uniform(-20, 20), shortReal(0, 2879)));
        slice->setAnnotation(annotation());
    }

    void addModel(Stack& stack, int i)
    {
        auto* model = new Model(name("model", i));
        ModelProperties& p = model->getProperties();
        p.setGeometry(static_cast<MPrimitive>(i % 3));
        p.setRenderingMode(static_cast<RenderingMode>(uniform(0, 3)));
        p.setOpacity(static_cast<float>(uniform(0, 255)));
        p.setShininess(static_cast<float>(uniform(0, 128)));
        p.setQuadMeshWidth(static_cast<unsigned int>(uniform(1, 200)));
        p.setQuadMeshHeight(static_cast<unsigned int>(uniform(1, 200)));
        p.setEconomicRendering(coin());
        if (uniform(0, 2) > 0)
            p.setBeginCapFlag(coin());
        if (uniform(0, 2) > 0)
            p.setEndCapFlag(coin());
        ModelItemProperties& q = model->getItemProperties();
        q.setColor(uniform(0, 255), uniform(0, 255), uniform(0, 255));
        q.setLineWidth(static_cast<float>(uniform(1, 5)));
        q.setPointSize(static_cast<float>(uniform(1, 9)));
        q.setVertexSymbol(static_cast<VertexSymbol>(uniform(0, 4)));
        q.setFilled(coin());
        q.setVisible(coin());
        stack.addModel(model);

        const int items = uniform(0, 6);
        for (int k = 0; k < items; ++k) {
            auto* item = new ModelItem(model, stack.getSlice(uniform(0, stack.getNumSlices() - 1)));
            const int n = uniform(0, 5) == 0 ? 15 : uniform(0, 30);
            Vertices<int> v(2, 0);
            for (int j = 0; j < n; ++j)
                v.append(Vector<int>{uniform(-50, 500), uniform(-50, 500)});
            item->setVertices(v);
            // The reader turns polygons counter-clockwise.
            item->setClockwise(false);
            // Each override present or not, in turn.
            ModelItemProperties& own = item->getProperties();
            const std::function<void()> overrides[] = {
                [&] { own.setColor(uniform(0, 255), uniform(0, 255), uniform(0, 255)); },
                [&] { own.setFilled(coin()); }, [&] { own.setVisible(coin()); },
                [&] { own.setPointSize(static_cast<float>(uniform(1, 9))); },
                [&] { own.setLineWidth(static_cast<float>(uniform(1, 5))); },
                [&] { own.setVertexSymbol(static_cast<VertexSymbol>(uniform(0, 4))); }};
            for (const auto& set : overrides)
                if (coin())
                    set();
            item->attach();
        }
    }

    void addPose(Stack& stack, int i)
    {
        auto* pose = new Pose();
        pose->setName(name("pose", i));
        pose->setStack(&stack);
        pose->setRotation(uniform(-180, 180), uniform(-180, 180), uniform(-180, 180));
        pose->setTranslation(uniform(-500, 500), uniform(-500, 500));
        pose->setZoom(uniform(10, 400));
        pose->setAmbientLight(uniform(0, 100));
        pose->setDiffuseLight(uniform(0, 100));
        pose->setSpecularLight(uniform(0, 100));
        stack.addPose(pose);
    }

    const TemporaryDirectory& m_directory;
    std::mt19937 m_rng;
    std::string m_lastDirectory;
};

} // namespace stackfiletest
