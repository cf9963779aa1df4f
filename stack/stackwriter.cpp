#include "stack/stackwriter.h"

#include "image/image.h"
#include "image/imagesourcefile.h"
#include "image/imagesourcefilemosaic.h"
#include "image/imagesourcevoxelmatrixplane.h"
#include "image/imagewriter.h"
#include "image/pixelcalibration.h"
#include "image/voxelmatrix.h"
#include "numerics/elementtype.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/pose.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The text of the file, built in a buffer handed to the file (or stream) in
// large pieces.
class Output {
public:
    explicit Output(std::FILE* file) : m_file(file) { m_text.reserve(flushSize + 4096); }
    explicit Output(std::ostream& stream) : m_stream(&stream) { m_text.reserve(flushSize + 4096); }

    // A statement: its keyword, then arguments each after one blank, then end().
    Output& keyword(const std::string& word)
    {
        m_text += word;
        return *this;
    }
    Output& quoted(std::string_view text)
    {
        m_text += " \"";
        m_text += text;
        m_text += '"';
        return *this;
    }
    Output& word(std::string_view text)
    {
        m_text += ' ';
        m_text += text;
        return *this;
    }
    Output& integer(long long value)
    {
        m_text += ' ';
        StackIO::appendInteger(m_text, value);
        return *this;
    }
    Output& real(double value)
    {
        m_text += ' ';
        StackIO::appendReal(m_text, value);
        return *this;
    }
    // Two decimals, as the version is written.
    Output& fixed2(double value)
    {
        char buffer[48];
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
        m_text += ' ';
        m_text.append(buffer, r.ptr);
        return *this;
    }
    Output& boolean(bool value) { return word(value ? "true" : "false"); }
    void end()
    {
        m_text += ";\n";
        if (m_text.size() >= flushSize)
            flush();
    }
    void blankLine() { m_text += '\n'; }

    // The vertices of an item, " x,y" seven to a line, and the ";" ending
    // their statement.
    void vertices(const Vertices<int>& v)
    {
        const int n = v.getNumVertices();
        for (int i = 0; i < n; ++i) {
            const int* p = v.vertex(i).data();
            m_text += ' ';
            StackIO::appendInteger(m_text, p[0]);
            m_text += ',';
            StackIO::appendInteger(m_text, p[1]);
            if (i % 7 == 6 && i != n - 1)
                m_text += '\n';
            if (m_text.size() >= flushSize)
                flush();
        }
        end();
    }

    // Writes what is left; false when some write failed.
    bool close()
    {
        flush();
        return m_good;
    }

private:
    static constexpr std::size_t flushSize = std::size_t(1) << 20;

    void flush()
    {
        if (m_text.empty()) {
        } else if (m_file) {
            if (std::fwrite(m_text.data(), 1, m_text.size(), m_file) != m_text.size())
                m_good = false;
        } else if (!m_stream->write(m_text.data(), static_cast<std::streamsize>(m_text.size()))) {
            m_good = false;
        }
        m_text.clear();
    }

    std::FILE* m_file = nullptr;
    std::ostream* m_stream = nullptr;
    std::string m_text;
    bool m_good = true;
};

std::string directoryOf(const std::string& fileName)
{
    const std::size_t slash = fileName.rfind('/');
    return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string bareName(const std::string& fileName)
{
    const std::size_t slash = fileName.rfind('/');
    return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

// The components of a directory made absolute (against the current
// directory) and lexically normal.
std::vector<std::string> absoluteComponents(const std::string& directory)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path path = directory.empty() ? fs::current_path(error) : fs::absolute(fs::path(directory), error);
    if (error)
        path = fs::path(directory);
    std::vector<std::string> components;
    for (const fs::path& part : path.lexically_normal())
        if (!part.empty() && part != "/")
            components.push_back(part.string());
    return components;
}

// The directory made absolute, ending with "/".
std::string absoluteDirectory(const std::string& directory)
{
    std::string path = "/";
    for (const std::string& part : absoluteComponents(directory))
        path += part + "/";
    return path;
}

// The path from the stack file's directory to the image directory: one "../"
// per stack directory component below the common part, then the remaining
// image directory components each followed by "/". Empty for the same
// directory.
std::string relativeDirectory(const std::string& imageDirectory, const std::string& stackDirectory)
{
    const std::vector<std::string> image = absoluteComponents(imageDirectory);
    const std::vector<std::string> stack = absoluteComponents(stackDirectory);
    std::size_t common = 0;
    while (common < image.size() && common < stack.size() && image[common] == stack[common])
        ++common;
    std::string path;
    for (std::size_t i = common; i < stack.size(); ++i)
        path += "../";
    for (std::size_t i = common; i < image.size(); ++i)
        path += image[i] + "/";
    return path;
}

std::string joinPath(const std::string& directory, const std::string& name)
{
    if (directory.empty())
        return name;
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

class StackText {
public:
    StackText(Output& out, const StackIO& io, const Stack& stack, const std::string& fileName)
        : m_out(out), m_io(io), m_stack(stack), m_stackDirectory(directoryOf(fileName))
    {
    }

    void header()
    {
        const PixelCalibration& c = m_stack.getDefaultPixelCalibration();
        m_out.keyword(key(StackIO::KeyFileFormatVersion)).fixed2(StackIO::currentFileFormatVersion).end();
        m_out.keyword(key(StackIO::KeyStack)).quoted(m_stack.getName()).end();
        m_out.keyword(key(StackIO::KeyLengthUnitScale)).integer(c.getLengthUnit().getScale()).end();
        m_out.keyword(key(StackIO::KeyPixAspect)).real(c.getAspectRatio()).end();
        m_out.keyword(key(StackIO::KeyPixWidth)).real(c.getPixelWidth()).end();
        m_out.keyword(key(StackIO::KeyRelPosition)).real(m_stack.getDefaultRelativePosition()).end();
        m_out.keyword(key(StackIO::KeyLastSegmentedSlice)).quoted(m_stack.getLastSegmentedSlice()).end();
        m_out.keyword(key(StackIO::KeyLastRegisteredSlice)).quoted(m_stack.getLastRegisteredSlice()).end();
        m_out.keyword(key(StackIO::KeyAnnotation)).quoted(StackIO::exportString(m_stack.getAnnotation())).end();
        m_out.keyword(key(StackIO::KeyAbsoluteImagesPathPolicy)).boolean(m_stack.getAbsoluteImagesPathPolicy()).end();
    }

    void slice(const StackSlice& slice)
    {
        m_out.blankLine();
        const ImageSource* source = slice.hasImageSource() ? &slice.getImageSource() : nullptr;
        if (const auto* file = dynamic_cast<const ImageSourceFile*>(source)) {
            imagesPath(file->getFilename());
            m_out.keyword(key(StackIO::KeySlice)).quoted(slice.getName()).quoted(bareName(file->getFilename())).end();
        } else if (const auto* mosaic = dynamic_cast<const ImageSourceFileMosaic*>(source)) {
            m_out.keyword(key(StackIO::KeySlice)).quoted(slice.getName()).integer(mosaic->getRows()).integer(mosaic->getCols()).end();
            for (int r = 0; r < mosaic->getRows(); ++r)
                for (int c = 0; c < mosaic->getCols(); ++c)
                    if (const ImageSourceFile* tile = mosaic->getTile(r, c))
                        m_out.keyword(key(StackIO::KeyImage)).integer(r + 1).integer(c + 1).word(bareName(tile->getFilename())).end();
        } else if (const auto* plane = dynamic_cast<const ImageSourceVoxelMatrixPlane*>(source)) {
            imagesPath(plane->getVoxelMatrixFilename());
            m_out.keyword(key(StackIO::KeyStackSlice))
                .quoted(slice.getName())
                .quoted(bareName(plane->getVoxelMatrixFilename()))
                .integer(plane->getPlane())
                .end();
        } else {
            // A slice without an image it can name: an empty grid keeps its
            // place, name and outlines.
            m_out.keyword(key(StackIO::KeySlice)).quoted(slice.getName()).integer(0).integer(0).end();
        }
        m_out.keyword(key(StackIO::KeySliceSize1)).integer(source ? source->getSize1() : 0).end();
        m_out.keyword(key(StackIO::KeySliceSize2)).integer(source ? source->getSize2() : 0).end();

        if (slice.useRelativePosition()) {
            if (slice.getRelativePosition() != m_stack.getDefaultRelativePosition())
                m_out.keyword(key(StackIO::KeyRelPosition)).real(slice.getRelativePosition()).end();
        } else {
            m_out.keyword(key(StackIO::KeyPosition)).real(slice.getAbsolutePosition()).end();
        }
        const PixelCalibration& c = slice.getPixelCalibration();
        const PixelCalibration& d = m_stack.getDefaultPixelCalibration();
        if (c.getAspectRatio() != d.getAspectRatio())
            m_out.keyword(key(StackIO::KeyPixAspect)).real(c.getAspectRatio()).end();
        if (c.getPixelWidth() != d.getPixelWidth())
            m_out.keyword(key(StackIO::KeyPixWidth)).real(c.getPixelWidth()).end();
        const Registration& r = slice.getRegistration();
        if (r.getRotationAngle() != 0.0f)
            m_out.keyword(key(StackIO::KeyRotate)).real(r.getRotationAngle()).end();
        if (r.getHorizontalShift() != 0 || r.getVerticalShift() != 0)
            m_out.keyword(key(StackIO::KeyShift)).integer(r.getHorizontalShift()).integer(r.getVerticalShift()).end();
        if (!slice.getAnnotation().empty())
            m_out.keyword(key(StackIO::KeyAnnotation)).quoted(StackIO::exportString(slice.getAnnotation())).end();
    }

    // Returns the number of items written.
    int model(const Model& model)
    {
        const ModelProperties& p = model.getProperties();
        const ModelItemProperties& q = model.getItemProperties();
        m_out.blankLine();
        m_out.keyword(key(StackIO::KeyModel)).quoted(model.getName()).end();
        m_out.keyword(key(StackIO::KeyBrilliancy)).real(p.getShininess()).end();
        const Vector<int> color = q.getColor();
        m_out.keyword(key(StackIO::KeyColor)).integer(color[0]).integer(color[1]).integer(color[2]).end();
        m_out.keyword(key(StackIO::KeyEcoRendering)).boolean(p.getEconomicRendering()).end();
        m_out.keyword(key(StackIO::KeyFilledIn)).boolean(q.isFilled()).end();
        m_out.keyword(key(StackIO::KeyHidden3D)).boolean(!q.isVisible()).end();
        m_out.keyword(key(StackIO::KeyPointSize)).real(q.getPointSize()).end();
        m_out.keyword(key(StackIO::KeyPrimitive)).word(ModelProperties::toString(p.getGeometry())).end();
        m_out.keyword(key(StackIO::KeyRenderingMode)).word(ModelProperties::toString(p.getRenderingMode())).end();
        m_out.keyword(key(StackIO::KeyResampling)).integer(p.getQuadMeshWidth()).integer(p.getQuadMeshHeight()).end();
        m_out.keyword(key(StackIO::KeyThickness)).real(q.getLineWidth()).end();
        m_out.keyword(key(StackIO::KeyTransparency)).real(p.getOpacity()).end();
        m_out.keyword(key(StackIO::KeyVertexSymbol)).word(ModelItemProperties::toString(q.getVertexSymbol())).end();
        if (p.definesBeginCapFlag())
            m_out.keyword(key(StackIO::KeyBeginCap)).boolean(p.getBeginCapFlag()).end();
        if (p.definesEndCapFlag())
            m_out.keyword(key(StackIO::KeyEndCap)).boolean(p.getEndCapFlag()).end();

        int written = 0;
        for (const ModelItem* item : model.getItems()) {
            // An item off every slice cannot be named in the file.
            if (!item->getSlice())
                continue;
            this->item(model, *item);
            ++written;
        }
        return written;
    }

    void pose(const Pose& pose)
    {
        m_out.blankLine();
        m_out.keyword(key(StackIO::KeyPose)).quoted(pose.getName()).end();
        const Vector<int> rotation = pose.getRotation();
        m_out.keyword(key(StackIO::KeyPoseRotation)).integer(rotation[0]).integer(rotation[1]).integer(rotation[2]).end();
        const Vector<int>& shift = pose.getTranslation();
        m_out.keyword(key(StackIO::KeyPoseShift)).integer(shift[0]).integer(shift[1]).end();
        m_out.keyword(key(StackIO::KeyPoseZoom)).integer(pose.getZoom()).end();
        m_out.keyword(key(StackIO::KeyAmbientLight)).integer(pose.getAmbientLight()).end();
        m_out.keyword(key(StackIO::KeyDiffuseLight)).integer(pose.getDiffuseLight()).end();
        m_out.keyword(key(StackIO::KeySpecularLight)).integer(pose.getSpecularLight()).end();
    }

private:
    const std::string& key(int code) const { return m_io.getString(code); }

    void item(const Model& model, const ModelItem& item)
    {
        const ModelItemProperties& p = item.getProperties();
        m_out.blankLine();
        m_out.keyword(key(StackIO::KeyModelItem)).quoted(model.getName()).quoted(item.getSlice()->getName()).end();
        if (p.definesColor()) {
            const Vector<int> color = p.getColor();
            m_out.keyword(key(StackIO::KeyColor)).integer(color[0]).integer(color[1]).integer(color[2]).end();
        }
        if (p.definesFilled())
            m_out.keyword(key(StackIO::KeyFilledIn)).boolean(p.isFilled()).end();
        if (p.definesVisible())
            m_out.keyword(key(StackIO::KeyHidden3D)).boolean(!p.isVisible()).end();
        if (p.definesPointSize())
            m_out.keyword(key(StackIO::KeyPointSize)).real(p.getPointSize()).end();
        if (p.definesLineWidth())
            m_out.keyword(key(StackIO::KeyThickness)).real(p.getLineWidth()).end();
        if (p.definesVertexSymbol())
            m_out.keyword(key(StackIO::KeyVertexSymbol)).word(ModelItemProperties::toString(p.getVertexSymbol())).end();
        // An item without vertices has no data statement, which would need
        // at least one pair.
        if (item.getSize() > 0) {
            m_out.keyword(key(StackIO::KeyModelItemData)).blankLine();
            m_out.vertices(item.getVertices());
        }
    }

    // An "ImagesPath" statement when the directory of fileName, as the
    // stack's policy writes it, differs from the last one written.
    void imagesPath(const std::string& fileName)
    {
        const std::string directory = directoryOf(fileName);
        const std::string path = m_stack.getAbsoluteImagesPathPolicy()
                                     ? absoluteDirectory(directory)
                                     : relativeDirectory(directory, m_stackDirectory);
        if (path == m_lastImagesPath)
            return;
        m_out.keyword(key(StackIO::KeyImagesPath)).quoted(path).end();
        m_out.blankLine();
        m_lastImagesPath = path;
    }

    Output& m_out;
    const StackIO& m_io;
    const Stack& m_stack;
    std::string m_stackDirectory;
    std::string m_lastImagesPath;
};

// The stack's statements, with progress reported by writer.
bool writeText(StackWriter& writer, Output& out, const Stack& stack, const std::string& fileName)
{
    // Progress over slices, items and poses.
    long long total = stack.getNumSlices() + stack.getNumPoses();
    for (int i = 0; i < stack.getNumModels(); ++i)
        total += 1 + stack.getModel(i)->getNumItems();
    total = std::max(total, 1LL);
    long long done = 0;
    unsigned int percent = 0;
    writer.notifyProgressed(0, 100);
    auto advance = [&](long long units) {
        done += units;
        const auto now = static_cast<unsigned int>(std::min(done * 100 / total, 100LL));
        if (now != percent) {
            percent = now;
            writer.notifyProgressed(percent, 100);
        }
    };

    StackText text(out, writer, stack, fileName);
    text.header();
    for (int i = 0; i < stack.getNumSlices(); ++i) {
        text.slice(*stack.getSlice(i));
        advance(1);
    }
    for (int i = 0; i < stack.getNumModels(); ++i)
        advance(1 + text.model(*stack.getModel(i)));
    for (int i = 0; i < stack.getNumPoses(); ++i) {
        text.pose(*stack.getPose(i));
        advance(1);
    }
    const bool good = out.close();
    writer.notifyProgressed(100, 100);
    return good;
}

} // namespace

bool StackWriter::write(const Stack& stack, const std::string& fileName)
{
    clearLog();
    setFileFormatVersion(currentFileFormatVersion);
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "w"));
    if (!file)
        return false;
    Output out(file.get());
    bool good = writeText(*this, out, stack, fileName);
    good = std::fclose(file.release()) == 0 && good;
    return good;
}

bool StackWriter::write(const Stack& stack, std::ostream& stream, const std::string& fileName)
{
    clearLog();
    setFileFormatVersion(currentFileFormatVersion);
    Output out(stream);
    return writeText(*this, out, stack, fileName) && stream.flush().good();
}

template <typename T>
bool StackWriter::saveAsStack(const VoxelMatrix<T>& volume, const std::string& name,
                              const std::string& imagesDirectory, const std::string& stackDirectory,
                              const PixelCalibration& calibration, float spacing)
{
    Stack stack;
    stack.setName(name);
    stack.setDefaultPixelCalibration(calibration);
    stack.setDefaultRelativePosition(spacing);
    const int planes = volume.hasPlanes() ? volume.getSize3() : 0;
    Image image;
    for (int z = 0; z < planes; ++z) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%03d", z);
        const std::string file = joinPath(imagesDirectory, name + "_" + digits + ".tif");
        volume[z].convertToImage(image);
        try {
            ImageWriter().write(image, file, true);
        } catch (Exception& e) {
            e.addCall("bool StackWriter::saveAsStack(const VoxelMatrix<T>&,...)");
            throw;
        }
        auto* slice = new StackSlice(digits);
        stack.addSlice(slice);
        slice->setImageSource(ImageSourceFile(file));
        slice->setPixelCalibration(calibration);
        slice->setRelativePosition(spacing);
        notifyProgressed(static_cast<unsigned int>((z + 1) * 100LL / (planes + 1)), 100);
    }
    return write(stack, joinPath(stackDirectory, name + ".sdf"));
}

template <typename T>
bool saveVolumeAsStack(const VoxelMatrix<T>& volume, const std::string& name, const std::string& imagesDirectory,
                       const std::string& stackDirectory, const PixelCalibration& calibration, float spacing)
{
    return StackWriter().saveAsStack(volume, name, imagesDirectory, stackDirectory, calibration, spacing);
}

#define PLEXAN_INSTANTIATE_SAVE_AS_STACK(T)                                                                    \
    template bool StackWriter::saveAsStack<T>(const VoxelMatrix<T>&, const std::string&, const std::string&,  \
                                              const std::string&, const PixelCalibration&, float);
PLEXAN_INSTANTIATE_SAVE_AS_STACK(int)
PLEXAN_INSTANTIATE_SAVE_AS_STACK(float)
PLEXAN_INSTANTIATE_SAVE_AS_STACK(double)
PLEXAN_INSTANTIATE_SAVE_AS_STACK(long double)
#undef PLEXAN_INSTANTIATE_SAVE_AS_STACK

#define PLEXAN_INSTANTIATE_SAVE_VOLUME(T)                                                                      \
    template bool saveVolumeAsStack<T>(const VoxelMatrix<T>&, const std::string&, const std::string&,         \
                                       const std::string&, const PixelCalibration&, float);
PLEXAN_INSTANTIATE_SAVE_VOLUME(float)
PLEXAN_INSTANTIATE_SAVE_VOLUME(double)
#undef PLEXAN_INSTANTIATE_SAVE_VOLUME
