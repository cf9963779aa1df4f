#include "image/volumeimport.h"

#include "image/filecontent.h"
#include "image/imageseries.h"
#include "image/mrcfile.h"
#include "image/niftifile.h"
#include "image/nrrdfile.h"
#include "image/tiffvolume.h"
#include "numerics/exception.h"

#include <filesystem>

namespace {

const char* const sourceWhere = "Source VolumeImport::sourceOf(const vector<string>&)";

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool hasMrcName(const std::string& file)
{
    for (const char* e : {".mrc", ".MRC", ".map", ".MAP", ".ccp4", ".mrcs", ".st", ".rec", ".ali"})
        if (endsWith(file, e))
            return true;
    return false;
}

} // namespace

VolumeImport::Source VolumeImport::sourceOf(const std::vector<std::string>& inputs)
{
    if (inputs.empty())
        throw FileReadError(sourceWhere, "No input");
    if (inputs.size() > 1)
        return Source::ImageSeries;
    const std::string& file = inputs.front();
    const FileContent content(file);
    switch (content.getKind()) {
    case FileContent::Missing:
        if (file.find_first_of("*?[") != std::string::npos)
            return Source::ImageSeries;
        throw FileReadError(sourceWhere, "No such file", file);
    case FileContent::Unreadable:
        throw FileReadError(sourceWhere, "Cannot open file for reading", file);
    case FileContent::Directory:
        return Source::ImageSeries;
    case FileContent::Tiff:
        return Source::Tiff;
    case FileContent::Img:
        return Source::ImageSeries;
    case FileContent::Nifti1:
    case FileContent::Nifti2:
        return Source::Nifti;
    case FileContent::Nrrd:
        return Source::Nrrd;
    case FileContent::Mrc:
        return Source::Mrc;
    case FileContent::VoxelMatrix:
        return Source::VoxelMatrix;
    case FileContent::Gzip:
        if (endsWith(file, ".nii.gz") || endsWith(file, ".hdr.gz"))
            return Source::Nifti;
        break;
    case FileContent::Binary: {
        const std::string& block = content.getFirstBlock();
        if (hasMrcName(file) &&
            MrcFile::looksLikeHeader(reinterpret_cast<const unsigned char*>(block.data()), block.size()))
            return Source::Mrc;
        break;
    }
    default:
        break;
    }
    throw FileFormatError(sourceWhere,
                          "Not a volume nor a slice image (" + content.describe() +
                              "; multi-page TIFF, NIfTI, NRRD, MRC, voxel matrix or 2D images expected)",
                          file);
}

std::string VolumeImport::describe(Source source)
{
    switch (source) {
    case Source::Tiff:
        return "TIFF";
    case Source::Nifti:
        return "NIfTI";
    case Source::Nrrd:
        return "NRRD";
    case Source::Mrc:
        return "MRC";
    case Source::VoxelMatrix:
        return "voxel matrix";
    case Source::ImageSeries:
        return "image series";
    }
    return "unknown";
}

ImportedVolume VolumeImport::read(const std::vector<std::string>& inputs)
{
    const Source source = sourceOf(inputs);
    const std::string title =
        "Reading " + (inputs.size() == 1 ? std::filesystem::path(inputs.front()).filename().string()
                                         : std::to_string(inputs.size()) + " images") + "...";
    notifyStarted(title);
    ImportedVolume result;
    switch (source) {
    case Source::Tiff:
        result = TiffVolume::read(inputs.front(), m_selection, this);
        break;
    case Source::Nifti:
        result = NiftiFile::read(inputs.front(), m_selection, this);
        break;
    case Source::Nrrd:
        result = NrrdFile::read(inputs.front(), m_selection, this);
        break;
    case Source::Mrc:
        result = MrcFile::read(inputs.front(), m_selection, this);
        break;
    case Source::VoxelMatrix:
        if (m_selection.channel != 0 || m_selection.frame != 0)
            throw FileFormatError("ImportedVolume VolumeImport::read(const vector<string>&)",
                                  "A voxel matrix holds one channel and one frame", inputs.front());
        result.volume.load(inputs.front());
        result.format = "voxel matrix";
        result.hasVoxelSize = true;
        result.hasLengthUnit = true;
        break;
    case Source::ImageSeries: {
        int skipped = 0;
        const std::vector<std::string> files = ImageSeries::files(inputs, &skipped);
        result = ImageSeries::read(files, m_selection, this);
        if (skipped > 0)
            result.notes.push_back(std::to_string(skipped) + " file" + (skipped == 1 ? "" : "s") +
                                   " of the directory that are no images left out");
        break;
    }
    }
    notifyFinished("");
    return result;
}
