#include "image/imageseries.h"

#include "image/filecontent.h"
#include "image/image.h"
#include "image/imagereader.h"
#include "image/tiffvolume.h"
#include "numerics/exception.h"

#include <glob.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

namespace {

const char* const where = "ImportedVolume ImageSeries::read(const vector<string>&, ...)";

bool isPattern(const std::string& text)
{
    return text.find_first_of("*?[") != std::string::npos;
}

bool isImage(const std::string& file)
{
    const FileContent content(file);
    return content.isKind(FileContent::Tiff) || content.isKind(FileContent::Img);
}

// Plane z of `to` (of the same element type) becomes the single plane of m.
template <typename T>
void setPlane(AnyVoxelMatrix& to, int z, const VoxelMatrix<T>& m)
{
    (*to.get<T>())[z] = m[0];
}

} // namespace

bool ImageSeries::naturalLess(const std::string& a, const std::string& b)
{
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])))
                ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])))
                ++ej;
            // Values compare by their digits once leading zeros are gone.
            std::size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0')
                ++si;
            while (sj + 1 < ej && b[sj] == '0')
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            const int c = a.compare(si, ei - si, b, sj, ej - sj);
            if (c != 0)
                return c < 0;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j])
                return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
            ++i;
            ++j;
        }
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    return a < b;
}

std::vector<std::string> ImageSeries::files(const std::vector<std::string>& inputs, int* skipped)
{
    namespace fs = std::filesystem;
    std::vector<std::string> out;
    int left = 0;
    for (const std::string& input : inputs) {
        std::error_code error;
        if (fs::is_directory(input, error)) {
            std::vector<std::string> found;
            for (const auto& entry : fs::directory_iterator(input, error)) {
                const std::string name = entry.path().filename().string();
                if (name.empty() || name[0] == '.')
                    continue;
                if (entry.is_regular_file(error) && isImage(entry.path().string()))
                    found.push_back(entry.path().string());
                else
                    ++left;
            }
            if (error)
                throw FileReadError("vector<string> ImageSeries::files(const vector<string>&)",
                                    "Cannot list the directory: " + error.message(), input);
            std::sort(found.begin(), found.end(), naturalLess);
            out.insert(out.end(), found.begin(), found.end());
        } else if (fs::exists(input, error)) {
            out.push_back(input);
        } else if (isPattern(input)) {
            glob_t matches{};
            const int status = ::glob(input.c_str(), 0, nullptr, &matches);
            std::vector<std::string> found;
            if (status == 0)
                for (std::size_t m = 0; m < matches.gl_pathc; ++m)
                    if (fs::is_regular_file(matches.gl_pathv[m], error))
                        found.emplace_back(matches.gl_pathv[m]);
            ::globfree(&matches);
            if (found.empty())
                throw FileReadError("vector<string> ImageSeries::files(const vector<string>&)",
                                    "No file matches the pattern", input);
            std::sort(found.begin(), found.end(), naturalLess);
            out.insert(out.end(), found.begin(), found.end());
        } else {
            throw FileReadError("vector<string> ImageSeries::files(const vector<string>&)", "No such file", input);
        }
    }
    if (skipped)
        *skipped = left;
    return out;
}

ImportedVolume ImageSeries::read(const std::vector<std::string>& files, const VolumeSelection& selection,
                                 ProgressSubject* progress)
{
    if (files.empty())
        throw FileFormatError(where, "No image to read");
    if (selection.frame != 0)
        throw FileFormatError(where, "An image series has one frame (frame 0)", files.front());
    ImportedVolume result;
    const int planes = static_cast<int>(std::min<std::size_t>(files.size(), 1u << 30));
    for (int z = 0; z < planes; ++z) {
        if (progress && progress->isCanceled())
            throw Exception(where, "Reading canceled");
        const std::string& file = files[static_cast<std::size_t>(z)];
        const FileContent content(file);
        ImportedVolume plane;
        if (content.isKind(FileContent::Tiff)) {
            plane = TiffVolume::read(file, selection, nullptr, true);
        } else if (content.isKind(FileContent::Img)) {
            if (selection.channel != 0)
                throw FileFormatError(where, "IMG images hold one channel (channel 0)", file);
            Image image;
            ImageReader().read(image, file);
            VoxelMatrix<unsigned char> grey(image.getHeight(), image.getWidth(), 1);
            for (int y = 0; y < image.getHeight(); ++y)
                std::memcpy(grey[0][y].data(), image.getRow(y), static_cast<std::size_t>(image.getWidth()));
            plane.volume = AnyVoxelMatrix(std::move(grey));
            plane.format = "IMG";
        } else if (content.isKind(FileContent::Missing) || content.isKind(FileContent::Unreadable)) {
            throw FileReadError(where, "Cannot open file for reading", file);
        } else {
            throw FileFormatError(where, "Not a slice image (" + content.describe() + "; TIFF or IMG expected)",
                                  file);
        }
        if (z == 0) {
            result = plane;
            result.format = "image series";
            result.volume.visit([&](auto& m) {
                using M = std::decay_t<decltype(m)>;
                M volume(m.getSize1(), m.getSize2(), planes);
                volume[0] = m[0];
                volume.setVoxelCalibration(m.getVoxelCalibration());
                m = std::move(volume);
            });
            result.notes.erase(std::remove_if(result.notes.begin(), result.notes.end(),
                                              [](const std::string& n) { return n.find("spacing") != n.npos; }),
                               result.notes.end());
            if (planes > 1 && result.hasVoxelSize)
                result.notes.push_back("the images give no spacing between planes: the pixel width taken");
            result.hasVoxelSize = false;
        } else {
            if (plane.volume.getType() != result.volume.getType())
                throw FileFormatError(where,
                                      "The image holds " + plane.volume.getTypeName() + ", the first one " +
                                          result.volume.getTypeName(),
                                      file);
            if (plane.volume.getSize1() != result.volume.getSize1() ||
                plane.volume.getSize2() != result.volume.getSize2())
                throw FileFormatError(where,
                                      "The image is " + std::to_string(plane.volume.getSize2()) + " x " +
                                          std::to_string(plane.volume.getSize1()) + " pixels, the first one " +
                                          std::to_string(result.volume.getSize2()) + " x " +
                                          std::to_string(result.volume.getSize1()),
                                      file);
            plane.volume.visit([&](const auto& m) { setPlane(result.volume, z, m); });
        }
        if (progress)
            progress->notifyProgressed(static_cast<unsigned>(z + 1), static_cast<unsigned>(planes));
    }
    return result;
}
