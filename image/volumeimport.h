#pragma once
// VolumeImport: a volume from the files users bring, recognised by their
// content whatever their names: a multi-page TIFF (plain, ImageJ or
// OME-TIFF; TiffVolume), a NIfTI-1 or NIfTI-2 volume (".nii", ".nii.gz",
// ".hdr"; NiftiFile), an NRRD volume (".nrrd", ".nhdr"; NrrdFile), an MRC or
// CCP4 map (MrcFile), a voxel-matrix file (".vm"), or a series of 2D images:
// a directory, a pattern or several files (ImageSeries). Values keep their
// type (8-bit, 16-bit, 32-bit integers, floats); the voxel size and unit
// come from the file, and the notes say what was chosen or assumed.
//
// This is what the command line's "import" runs and what the workbench's
// "new stack from a volume" runs: read the volume here, set the calibration
// the user corrected (setVoxelCalibration on the result's volume), then
// write its planes as slice images and make the stack with StackFromVolume
// (stack/stackfromvolume.h) — or, for a series of slice images the stack
// can show as they are, name the files in place.
//
// Progress: "Reading FILE..." then the planes read.

#include "image/importedvolume.h"
#include "numerics/progresssubject.h"

#include <string>
#include <vector>

class VolumeImport : public virtual ProgressSubject {
public:
    enum class Source { Tiff, Nifti, Nrrd, Mrc, VoxelMatrix, ImageSeries };

    void setSelection(const VolumeSelection& selection) { m_selection = selection; }
    const VolumeSelection& getSelection() const { return m_selection; }

    // What the inputs are: one file of a volume format, or else a series.
    // FileReadError for a missing input, FileFormatError for a single file
    // that is neither a volume nor a slice image (naming what it is).
    static Source sourceOf(const std::vector<std::string>& inputs);
    static std::string describe(Source source);

    // Reads the volume. The readers' errors, naming the file.
    ImportedVolume read(const std::vector<std::string>& inputs);

private:
    VolumeSelection m_selection;
};
