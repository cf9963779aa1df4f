// Volumes from other programs' files: files written by those programs' own
// tools (tests/data/image/volumes, see make_volumes.py there), files the
// tests write byte by byte from the formats' layouts, and the refusal of
// damaged or nonsensical ones.

#include "image/anyvoxelmatrix.h"
#include "image/imageseries.h"
#include "image/mrcfile.h"
#include "image/niftifile.h"
#include "image/nrrdfile.h"
#include "image/tiffvolume.h"
#include "image/volumeimport.h"

#include "imagesupport.h"

#include <tiffio.h>

#include <cmath>
#include <functional>

using namespace imagetest;

namespace {

// The values make_volumes.py stores at file position (x, y, z).
double ramp(int x, int y, int z)
{
    return 1000 + 37 * x + 211 * y + 1301 * z;
}

std::string volumeFile(const std::string& name)
{
    return dataFile("volumes/" + name);
}

// Every voxel of volume against expected(x, y, z), where x is the column,
// and the file's y the row (counted from the bottom when flipped).
template <typename T>
void expectValues(const AnyVoxelMatrix& any, bool flipped, const std::function<double(int, int, int)>& expected)
{
    const VoxelMatrix<T>* m = any.get<T>();
    ASSERT_NE(m, nullptr) << "holds " << any.getTypeName();
    int wrong = 0;
    for (int z = 0; z < m->getSize3(); ++z)
        for (int y = 0; y < m->getSize1(); ++y)
            for (int x = 0; x < m->getSize2(); ++x) {
                const int row = flipped ? m->getSize1() - 1 - y : y;
                if (static_cast<double>((*m)(row, x, z)) != expected(x, y, z) && wrong++ < 5)
                    ADD_FAILURE() << "at x " << x << ", y " << y << ", z " << z << ": " << +(*m)(row, x, z)
                                  << " instead of " << expected(x, y, z);
            }
}

void expectGrid(const ImportedVolume& v, int columns, int rows, int planes, float width, float height, float depth,
                int unitScale)
{
    EXPECT_EQ(v.volume.getSize2(), columns);
    EXPECT_EQ(v.volume.getSize1(), rows);
    EXPECT_EQ(v.volume.getSize3(), planes);
    const VoxelCalibration& c = v.volume.getVoxelCalibration();
    EXPECT_FLOAT_EQ(c.getVoxelWidth(), width);
    EXPECT_FLOAT_EQ(c.getVoxelHeight(), height);
    EXPECT_FLOAT_EQ(c.getVoxelDepth(), depth);
    EXPECT_EQ(c.getLengthUnit().getScale(), unitScale);
}

// The what text of the FileError a reading throws, checking that it names
// file; "accepted" when nothing is thrown.
std::string failure(const std::function<void()>& read, const std::string& file)
{
    try {
        read();
    } catch (const FileError& e) {
        EXPECT_EQ(e.getFile(), file);
        return e.getWhat();
    } catch (const Exception& e) {
        return "another class: " + e.getWhat();
    }
    return "accepted";
}

template <typename V>
void put(std::string& bytes, std::size_t offset, V value, bool big = false)
{
    char raw[sizeof(V)];
    std::memcpy(raw, &value, sizeof(V));
    if (big)
        std::reverse(raw, raw + sizeof(V));
    if (bytes.size() < offset + sizeof(V))
        bytes.resize(offset + sizeof(V), '\0');
    std::memcpy(bytes.data() + offset, raw, sizeof(V));
}

template <typename V>
void append(std::string& bytes, V value, bool big = false)
{
    put(bytes, bytes.size(), value, big);
}

// A single-file NIfTI-1 header (348 bytes, data at 352).
std::string niftiHeader(int nx, int ny, int nz, short datatype, short bitpix, float dx, float dy, float dz,
                        char units, bool big = false)
{
    std::string h(352, '\0');
    put<std::int32_t>(h, 0, 348, big);
    const short dims[8] = {3, static_cast<short>(nx), static_cast<short>(ny), static_cast<short>(nz), 1, 1, 1, 1};
    for (int a = 0; a < 8; ++a)
        put<short>(h, 40 + 2 * a, dims[a], big);
    put<short>(h, 70, datatype, big);
    put<short>(h, 72, bitpix, big);
    const float pixdim[8] = {1.0f, dx, dy, dz, 0.0f, 0.0f, 0.0f, 0.0f};
    for (int a = 0; a < 8; ++a)
        put<float>(h, 76 + 4 * a, pixdim[a], big);
    put<float>(h, 108, 352.0f, big);
    h[123] = units;
    std::memcpy(h.data() + 344, "n+1\0", 4);
    return h;
}

// An MRC header of mode and sizes, cell sizes in ångströms.
std::string mrcHeader(int nx, int ny, int nz, int mode, float cx, float cy, float cz, bool big = false)
{
    std::string h(1024, '\0');
    const std::int32_t ints[] = {nx, ny, nz, mode};
    for (int a = 0; a < 4; ++a)
        put<std::int32_t>(h, 4 * a, ints[a], big);
    for (int a = 0; a < 3; ++a)
        put<std::int32_t>(h, 28 + 4 * a, (a == 0 ? nx : a == 1 ? ny : nz), big);
    const float cell[3] = {cx, cy, cz};
    for (int a = 0; a < 3; ++a)
        put<float>(h, 40 + 4 * a, cell[a], big);
    for (int a = 0; a < 3; ++a)
        put<std::int32_t>(h, 64 + 4 * a, a + 1, big);
    std::memcpy(h.data() + 208, "MAP ", 4);
    h[212] = big ? 0x11 : 0x44;
    h[213] = big ? 0x11 : 0x44;
    return h;
}

} // namespace

// Files other programs wrote --------------------------------------------------------

TEST(VolumeImportRealFiles, NiftiFromNibabelKeepValuesSizesAndUnits)
{
    const ImportedVolume v = VolumeImport().read({volumeFile("ramp16.nii")});
    EXPECT_EQ(v.format, "NIfTI-1");
    EXPECT_TRUE(v.hasVoxelSize && v.hasLengthUnit);
    expectGrid(v, 5, 4, 3, 0.5f, 0.75f, 2.0f, -3);
    // NIfTI rows run up: the file's y = 0 is the bottom row.
    expectValues<unsigned short>(v.volume, true, ramp);

    const ImportedVolume f = VolumeImport().read({volumeFile("rampfloat.nii.gz")});
    EXPECT_EQ(f.format, "NIfTI-2");
    expectGrid(f, 5, 4, 3, 0.25f, 0.5f, 1.25f, -6);
    expectValues<float>(f.volume, true, [](int x, int y, int z) { return ramp(x, y, z) / 4 - 100; });

    // The second time point of a 4D file, signed values kept.
    VolumeImport import;
    import.setSelection({0, 1});
    const ImportedVolume t = import.read({volumeFile("ramp4d.nii.gz")});
    expectGrid(t, 5, 4, 3, 1.0f, 1.0f, 3.0f, -3);
    expectValues<short>(t.volume, true, [](int x, int y, int z) { return ramp(x, y, z) - 2000 + 7; });
    ASSERT_EQ(t.notes.size(), 1u);
    EXPECT_EQ(t.notes[0], "volume 1 of 2 read (--frame chooses another)");
    import.setSelection({0, 2});
    EXPECT_EQ(failure([&] { import.read({volumeFile("ramp4d.nii.gz")}); }, volumeFile("ramp4d.nii.gz")),
              "Frame 2 asked for, the file holds 2 volumes (0 to 1)");
}

TEST(VolumeImportRealFiles, NrrdFromTeemAttachedAndDetached)
{
    const ImportedVolume v = VolumeImport().read({volumeFile("ramp16.nrrd")});
    EXPECT_EQ(v.format, "NRRD");
    EXPECT_TRUE(v.hasVoxelSize && v.hasLengthUnit);
    // Voxel sizes from the space directions, in their space units.
    expectGrid(v, 5, 4, 3, 0.5f, 0.75f, 2.0f, -6);
    expectValues<short>(v.volume, false, [](int x, int y, int z) { return ramp(x, y, z) - 2000; });

    // gzip data in a file beside the header, spacings without units.
    const ImportedVolume f = VolumeImport().read({volumeFile("rampfloat.nhdr")});
    expectGrid(f, 5, 4, 3, 0.25f, 0.5f, 1.25f, -3);
    EXPECT_FALSE(f.hasLengthUnit);
    expectValues<float>(f.volume, false, [](int x, int y, int z) { return ramp(x, y, z) / 4 - 100; });
    ASSERT_EQ(f.notes.size(), 1u);
    EXPECT_EQ(f.notes[0], "the file names no length unit: millimetres taken (--unit sets another)");
}

TEST(VolumeImportRealFiles, MrcFromMrcfileInNanometres)
{
    const ImportedVolume v = VolumeImport().read({volumeFile("ramp16.mrc")});
    EXPECT_EQ(v.format, "MRC");
    // 5, 6 and 7.5 ångströms.
    expectGrid(v, 5, 4, 3, 0.5f, 0.6f, 0.75f, -9);
    expectValues<short>(v.volume, true, [](int x, int y, int z) { return ramp(x, y, z) - 2000; });
}

TEST(VolumeImportRealFiles, TiffFromTifffileImageJAndOme)
{
    const ImportedVolume v = VolumeImport().read({volumeFile("ramp16_imagej.tif")});
    EXPECT_EQ(v.format, "ImageJ TIFF");
    expectGrid(v, 5, 4, 3, 0.5f, 0.75f, 2.0f, -6);
    expectValues<unsigned short>(v.volume, false, ramp);

    VolumeImport import;
    import.setSelection({1, 0});
    const ImportedVolume o = import.read({volumeFile("ramp16_ome.ome.tif")});
    EXPECT_EQ(o.format, "OME-TIFF");
    expectGrid(o, 5, 4, 3, 0.25f, 0.5f, 1.5f, -6);
    expectValues<unsigned short>(o.volume, false, [](int x, int y, int z) { return ramp(x, y, z) + 5; });
}

TEST(VolumeImportRealFiles, FormatsAreToldByContentNotByName)
{
    using S = VolumeImport::Source;
    ScratchDirectory scratch;
    // An MRC map and a NRRD file under misleading names.
    const std::string mrc = scratch.file("map.tif");
    writeBytes(mrc, readBytes(volumeFile("ramp16.mrc")));
    EXPECT_EQ(VolumeImport::sourceOf({mrc}), S::Mrc);
    const std::string nrrd = scratch.file("volume.mrc");
    writeBytes(nrrd, readBytes(volumeFile("ramp16.nrrd")));
    EXPECT_EQ(VolumeImport::sourceOf({nrrd}), S::Nrrd);
    expectValues<short>(VolumeImport().read({nrrd}).volume, false,
                        [](int x, int y, int z) { return ramp(x, y, z) - 2000; });
    EXPECT_EQ(VolumeImport::sourceOf({volumeFile("ramp16.nii")}), S::Nifti);
    EXPECT_EQ(VolumeImport::sourceOf({volumeFile("rampfloat.nii.gz")}), S::Nifti);
    EXPECT_EQ(VolumeImport::sourceOf({volumeFile("ramp16_ome.ome.tif")}), S::Tiff);
    // A text file is neither a volume nor an image.
    const std::string text = scratch.file("notes.nii");
    writeBytes(text, "a volume, honestly\n");
    EXPECT_EQ(failure([&] { VolumeImport::sourceOf({text}); }, text).rfind("Not a volume nor a slice image", 0), 0u);
}

// Files written here ---------------------------------------------------------------

TEST(VolumeImportNifti, BigEndianScaledAndUnitlessFiles)
{
    ScratchDirectory scratch;
    // Big-endian signed 16-bit voxels with a slope and an intercept: floats.
    std::string bytes = niftiHeader(3, 2, 2, 4, 16, 0.5f, 0.5f, 1.5f, 3 /* micrometres */, true);
    put<float>(bytes, 112, 0.5f, true);
    put<float>(bytes, 116, -10.0f, true);
    auto stored = [](int x, int y, int z) { return static_cast<short>(-300 + 97 * x + 31 * y + 200 * z); };
    for (int z = 0; z < 2; ++z)
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                append<short>(bytes, stored(x, y, z), true);
    const std::string file = scratch.file("scaled.nii");
    writeBytes(file, bytes);
    const ImportedVolume v = NiftiFile::read(file);
    expectGrid(v, 3, 2, 2, 0.5f, 0.5f, 1.5f, -6);
    expectValues<float>(v.volume, true, [&](int x, int y, int z) { return 0.5 * stored(x, y, z) - 10.0; });
    ASSERT_EQ(v.notes.size(), 1u);
    EXPECT_EQ(v.notes[0], "values scaled by the file's slope 0.5 and intercept -10 into floats");

    // 8-bit voxels of a file naming no unit: millimetres, with a note.
    bytes = niftiHeader(2, 2, 1, 2, 8, 0.25f, 0.25f, 0.0f, 0);
    for (unsigned char c : {7, 250, 0, 128})
        append<unsigned char>(bytes, c);
    writeBytes(file, bytes);
    const ImportedVolume u = NiftiFile::read(file);
    // The library makes a missing slice thickness 1.
    expectGrid(u, 2, 2, 1, 0.25f, 0.25f, 1.0f, -3);
    expectValues<unsigned char>(u.volume, true, [](int x, int y, int) { return std::vector{7, 250, 0, 128}[2 * y + x]; });
    EXPECT_FALSE(u.hasLengthUnit);
}

TEST(VolumeImportNifti, DamagedFilesAreRefusedNamingThem)
{
    ScratchDirectory scratch;
    const std::string file = scratch.file("damaged.nii");
    // 60 voxels announced, 10 there.
    std::string bytes = niftiHeader(5, 4, 3, 512, 16, 1.0f, 1.0f, 1.0f, 2);
    bytes.append(20, '\1');
    writeBytes(file, bytes);
    EXPECT_EQ(failure([&] { NiftiFile::read(file); }, file),
              "NIfTI data ends early: the header announces 120 bytes of voxels, the file holds 20");
    // Complex voxels.
    writeBytes(file, niftiHeader(1, 1, 1, 32, 64, 1.0f, 1.0f, 1.0f, 2) + std::string(8, '\0'));
    EXPECT_EQ(failure([&] { NiftiFile::read(file); }, file).rfind("NIfTI voxels of type", 0), 0u);
    // A header of nonsense.
    writeBytes(file, std::string(400, 'x'));
    EXPECT_EQ(failure([&] { NiftiFile::read(file); }, file), "Not a readable NIfTI or Analyze header");
}

TEST(VolumeImportNrrd, RoundTripsOfEncodingsAndByteOrders)
{
    ScratchDirectory scratch;
    auto stored = [](int x, int y, int z) { return 60000 - 1000 * x + 17 * y + 3 * z; };
    std::string data;
    for (int z = 0; z < 2; ++z)
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                append<std::uint16_t>(data, static_cast<std::uint16_t>(stored(x, y, z)), true);
    const std::string file = scratch.file("big.nrrd");
    writeBytes(file, "NRRD0004\n# written by hand\ntype: unsigned short\ndimension: 3\nsizes: 4 3 2\n"
                     "spacings: 0.125 0.25 4\nunits: \"\xc2\xb5m\" \"\xc2\xb5m\" \"\xc2\xb5m\"\nendian: big\n"
                     "encoding: raw\n\n" +
                         data);
    const ImportedVolume v = NrrdFile::read(file);
    expectGrid(v, 4, 3, 2, 0.125f, 0.25f, 4.0f, -6);
    expectValues<unsigned short>(v.volume, false, stored);

    // Text encoding of doubles, a fourth axis of colour components: the
    // channel asked for.
    writeBytes(file, "NRRD0004\ntype: double\ndimension: 4\nsizes: 2 2 2 1\nkinds: 2-vector space space space\n"
                     "spacings: NaN 1e-3 2e-3 5e-3\nunits: \"\" \"m\" \"m\" \"m\"\nencoding: ascii\n\n"
                     "0.5 -1\n1.5 -2\n2.5 -3\n3.5 -4\n");
    const ImportedVolume t = NrrdFile::read(file, {1, 0});
    expectGrid(t, 2, 2, 1, 0.001f, 0.002f, 0.005f, 0);
    expectValues<double>(t.volume, false, [](int x, int y, int) { return -1.0 - x - 2 * y; });
}

TEST(VolumeImportNrrd, NonsenseIsRefusedWithTheLineAndField)
{
    ScratchDirectory scratch;
    const std::string file = scratch.file("bad.nrrd");
    const std::string start = "NRRD0004\ntype: uchar\ndimension: 3\nsizes: 2 2 2\n";
    writeBytes(file, start + "spacings: 1 abc 1\nencoding: raw\n\n" + std::string(8, '\0'));
    EXPECT_EQ(failure([&] { NrrdFile::read(file); }, file), "line 5: spacing \"abc\" is no number");
    writeBytes(file, start + "encoding: raw\n\n" + std::string(7, '\0'));
    EXPECT_EQ(failure([&] { NrrdFile::read(file); }, file), "the data hold 7 bytes, the sizes announce 8");
    writeBytes(file, "NRRD0004\ntype: uchar\ndimension: 3\nsizes: 2 -2 2\nencoding: raw\n\n" + std::string(8, '\0'));
    EXPECT_NE(failure([&] { NrrdFile::read(file); }, file), "accepted");
    writeBytes(file, start + "encoding: raw\ndata file: /dev/zero\n\n");
    EXPECT_NE(failure([&] { NrrdFile::read(file); }, file), "accepted");
}

TEST(VolumeImportMrc, RoundTripsOfModesAndByteOrders)
{
    ScratchDirectory scratch;
    const std::string file = scratch.file("map.mrc");
    // Little-endian floats, 20 x 30 x 40 ångström cells of 2 x 3 x 4 voxels.
    std::string bytes = mrcHeader(2, 3, 4, 2, 20.0f, 30.0f, 40.0f);
    auto value = [](int x, int y, int z) { return 0.25 * x - 3.5 * y + 100.0 * z; };
    for (int z = 0; z < 4; ++z)
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 2; ++x)
                append<float>(bytes, static_cast<float>(value(x, y, z)));
    writeBytes(file, bytes);
    const ImportedVolume v = MrcFile::read(file);
    expectGrid(v, 2, 3, 4, 1.0f, 1.0f, 1.0f, -9);
    expectValues<float>(v.volume, true, value);

    // Big-endian unsigned 16-bit voxels.
    bytes = mrcHeader(3, 1, 2, 6, 3.0f, 5.0f, 8.0f, true);
    for (int k = 0; k < 6; ++k)
        append<std::uint16_t>(bytes, static_cast<std::uint16_t>(65535 - 1000 * k), true);
    writeBytes(file, bytes);
    const ImportedVolume u = MrcFile::read(file);
    expectGrid(u, 3, 1, 2, 0.1f, 0.5f, 0.4f, -9);
    expectValues<unsigned short>(u.volume, true, [](int x, int, int z) { return 65535 - 1000 * (3 * z + x); });

    // Data shorter than announced.
    writeBytes(file, bytes.substr(0, bytes.size() - 1));
    EXPECT_EQ(failure([&] { MrcFile::read(file); }, file),
              "MRC data end early: 3 x 1 x 2 voxels of 2 bytes announced, 11 bytes there");
    // Complex voxels.
    writeBytes(file, mrcHeader(1, 1, 1, 4, 1.0f, 1.0f, 1.0f) + std::string(8, '\0'));
    EXPECT_EQ(failure([&] { MrcFile::read(file); }, file),
              "MRC mode 4 is not read (grey values of modes 0, 1, 2, 6 and 12 only)");
}

namespace {

// A multi-page TIFF of 16-bit pages written through libtiff, with a page
// description on the first page.
void writeTiffPages(const std::string& file, int width, int height, int pages, const std::string& description,
                    const std::function<std::uint16_t(int, int, int)>& value, float xResolution = 0.0f)
{
    TIFF* tif = TIFFOpen(file.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    for (int z = 0; z < pages; ++z) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
        if (xResolution > 0.0f) {
            TIFFSetField(tif, TIFFTAG_XRESOLUTION, xResolution);
            TIFFSetField(tif, TIFFTAG_YRESOLUTION, xResolution / 2);
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_NONE);
        }
        if (z == 0 && !description.empty())
            TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, description.c_str());
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tif, TIFFTAG_PAGENUMBER, z, pages);
        std::vector<std::uint16_t> line(static_cast<std::size_t>(width));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                line[static_cast<std::size_t>(x)] = value(x, y, z);
            ASSERT_EQ(TIFFWriteScanline(tif, line.data(), static_cast<std::uint32_t>(y), 0), 1);
        }
        ASSERT_EQ(TIFFWriteDirectory(tif), 1);
    }
    TIFFClose(tif);
}

} // namespace

TEST(VolumeImportTiff, ImageJHyperstacksGiveTheChannelAndFrameAsked)
{
    ScratchDirectory scratch;
    const std::string file = scratch.file("hyper.tif");
    // 2 channels, 3 slices, 2 frames: page = c + 2 (s + 3 t).
    auto value = [](int x, int y, int page) { return static_cast<std::uint16_t>(50000 + 100 * page + 10 * y + x); };
    writeTiffPages(file, 4, 3, 12,
                   "ImageJ=1.54f\nimages=12\nchannels=2\nslices=3\nframes=2\nhyperstack=true\nunit=micron\n"
                   "spacing=0.8\n",
                   value, 5.0f);
    const ImportedVolume v = TiffVolume::read(file, {1, 1});
    EXPECT_EQ(v.format, "ImageJ TIFF");
    // Resolutions of 5 and 2.5 pixels per micrometre.
    expectGrid(v, 4, 3, 3, 0.2f, 0.4f, 0.8f, -6);
    expectValues<unsigned short>(v.volume, false, [&](int x, int y, int s) { return value(x, y, 1 + 2 * (s + 3)); });
    EXPECT_NE(failure([&] { TiffVolume::read(file, {2, 0}); }, file), "accepted");
}

TEST(VolumeImportTiff, PagesOfAnotherSizeAreRefused)
{
    ScratchDirectory scratch;
    const std::string file = scratch.file("uneven.tif");
    TIFF* tif = TIFFOpen(file.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    for (int z = 0; z < 2; ++z) {
        const int width = z == 0 ? 4 : 5;
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        std::vector<unsigned char> line(static_cast<std::size_t>(width), 9);
        for (int y = 0; y < 2; ++y)
            TIFFWriteScanline(tif, line.data(), static_cast<std::uint32_t>(y), 0);
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    EXPECT_NE(failure([&] { TiffVolume::read(file); }, file), "accepted");
}

TEST(VolumeImportSeries, ImagesInNaturalNumberOrder)
{
    EXPECT_TRUE(ImageSeries::naturalLess("slice2.tif", "slice10.tif"));
    EXPECT_FALSE(ImageSeries::naturalLess("slice10.tif", "slice2.tif"));
    EXPECT_TRUE(ImageSeries::naturalLess("a9b", "a10a"));
    EXPECT_TRUE(ImageSeries::naturalLess("a01", "a1") != ImageSeries::naturalLess("a1", "a01"));

    ScratchDirectory scratch;
    // Written out of order; plane z holds values 1000 z + x + 10 y.
    for (int z : {10, 2, 1, 0})
        writeTiffPages(scratch.file("s" + std::to_string(z) + ".tif"), 3, 2, 1, "",
                       [z](int x, int y, int) { return static_cast<std::uint16_t>(1000 * z + x + 10 * y); });
    writeBytes(scratch.file("readme.txt"), "not an image\n");
    std::filesystem::path directory = std::filesystem::path(scratch.file("s0.tif")).parent_path();
    int skipped = 0;
    const std::vector<std::string> files = ImageSeries::files({directory.string()}, &skipped);
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(skipped, 1);
    EXPECT_EQ(std::filesystem::path(files[3]).filename(), "s10.tif");
    const ImportedVolume v = VolumeImport().read({directory.string()});
    const int planes[] = {0, 1, 2, 10};
    expectValues<unsigned short>(v.volume, false,
                                 [&](int x, int y, int z) { return 1000 * planes[z] + x + 10 * y; });
    // A pattern gives the same files.
    EXPECT_EQ(ImageSeries::files({(directory / "s*.tif").string()}), files);
}

// Voxel-matrix files of every element type -------------------------------------------

namespace {

template <typename T>
void expectRoundTrip(AnyVoxelMatrix::Type type, double lo, double hi, const std::string& file)
{
    VoxelMatrix<T> m(2, 3, 2);
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 3; ++j)
                switch ((k * 6 + i * 3 + j) % 3) {
                case 0:
                    m(i, j, k) = static_cast<T>(lo);
                    break;
                case 1:
                    m(i, j, k) = static_cast<T>(hi);
                    break;
                default:
                    m(i, j, k) = static_cast<T>(std::floor(lo / 2 + hi / 2));
                }
    VoxelCalibration c;
    c.setLengthUnit(LengthUnit(-9));
    c.setVoxelSize(Vector<float>{0.5f, 0.25f, 3.0f});
    m.setVoxelCalibration(c);
    m.save(file, true);
    AnyVoxelMatrix any;
    any.load(file);
    ASSERT_EQ(any.getType(), type) << any.getTypeName();
    EXPECT_TRUE(*any.get<T>() == m);
    EXPECT_EQ(any.getVoxelCalibration().getLengthUnit().getScale(), -9);
    EXPECT_EQ(any.getVoxelCalibration().getVoxelDepth(), 3.0f);
    EXPECT_EQ(any.range(), std::make_pair(double(static_cast<T>(lo)), double(static_cast<T>(hi))));
}

} // namespace

TEST(AnyVoxelMatrixFile, EveryElementTypeComesBackAsItWasSaved)
{
    using Type = AnyVoxelMatrix::Type;
    ScratchDirectory scratch;
    const std::string file = scratch.file("v.vm");
    expectRoundTrip<unsigned char>(Type::UnsignedChar, 0, 255, file);
    expectRoundTrip<char>(Type::Char, -128, 127, file);
    expectRoundTrip<unsigned short>(Type::UnsignedShort, 0, 65535, file);
    expectRoundTrip<short>(Type::Short, -32768, 32767, file);
    expectRoundTrip<unsigned int>(Type::UnsignedInt, 0, 4294967295.0, file);
    expectRoundTrip<int>(Type::Int, -2147483648.0, 2147483647, file);
    expectRoundTrip<float>(Type::Float, -1.5e30, 2.5, file);
    expectRoundTrip<double>(Type::Double, -1e300, 1e-300, file);
    expectRoundTrip<long double>(Type::LongDouble, -3, 7.25, file);
}

TEST(AnyVoxelMatrixFile, ValueChecksForSliceImages)
{
    VoxelMatrix<float> m(1, 3, 1);
    m(0, 0, 0) = 0.0f;
    m(0, 1, 0) = 255.0f;
    m(0, 2, 0) = 17.0f;
    AnyVoxelMatrix any(m);
    EXPECT_TRUE(any.holdsIntegersWithin(0, 255));
    m(0, 2, 0) = 17.5f;
    EXPECT_FALSE(AnyVoxelMatrix(m).holdsIntegersWithin(0, 255));
    m(0, 2, 0) = NAN;
    EXPECT_FALSE(AnyVoxelMatrix(m).holdsIntegersWithin(0, 255));
    EXPECT_EQ(AnyVoxelMatrix(m).range(), std::make_pair(0.0, 255.0));
    m(0, 2, 0) = 256.0f;
    EXPECT_FALSE(AnyVoxelMatrix(m).holdsIntegersWithin(0, 255));
}

// Damaged copies of every format's file: cut short or with bytes replaced,
// each is read as its bytes say or refused with an exception naming it,
// never a crash or a hang.
TEST(VolumeImportDamagedFiles, ReadOrRefusedNamingTheFile)
{
    ScratchDirectory scratch;
    for (const char* name : {"ramp16.nii", "rampfloat.nii.gz", "ramp16.nrrd", "ramp16.mrc", "ramp16_imagej.tif",
                             "ramp16_ome.ome.tif"}) {
        SCOPED_TRACE(name);
        const std::string original = readBytes(volumeFile(name));
        const std::string file = scratch.file(name);
        std::vector<std::string> variants;
        const std::size_t step = std::max<std::size_t>(1, original.size() / 24);
        for (std::size_t length = 0; length < original.size(); length += step)
            variants.push_back(original.substr(0, length));
        std::uint32_t seed = 29;
        for (int n = 0; n < 32; ++n) {
            seed = seed * 1664525u + 1013904223u;
            std::string bytes = original;
            // Mostly the header, where sizes and offsets are.
            const std::size_t at = (seed >> 8) % std::min<std::size_t>(bytes.size(), n % 3 ? 400 : bytes.size());
            bytes[at] = static_cast<char>(n % 4 == 0 ? 0 : n % 4 == 1 ? 0xFF : n % 4 == 2 ? 0x7F : (seed >> 24));
            variants.push_back(bytes);
        }
        int refused = 0;
        for (const std::string& bytes : variants) {
            writeBytes(file, bytes);
            try {
                const ImportedVolume v = VolumeImport().read({file});
                EXPECT_FALSE(v.volume.isEmpty());
            } catch (const FileError& e) {
                EXPECT_EQ(e.getFile(), file) << e.getWhat();
                ++refused;
            } catch (const Exception& e) {
                ADD_FAILURE() << "not a file error: " << e.getWhat();
            }
        }
        EXPECT_GT(refused, 0);
    }
}
