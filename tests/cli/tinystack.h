#pragma once
// A small specimen for the tests of careless input and interruptions: a
// stack of three slices with a polygon and a point model, and a ball volume.

#include "clitesting.h"
#include "image/image.h"
#include "image/imagewriter.h"
#include "image/voxelmatrix.h"

namespace clitest {

// A small stack: three slices of 16 x 12 pixels with a bright blob that
// moves, a polygon model on every slice and a point model of 5 points.
inline std::string tinyText(const std::string& imagesPath = "")
{
    std::string t = "FileFormatVersion 1.03;\nSTACK \"tiny\";\nLengthUnitScale -6;\nPIXASPECT 1;\nPIXWIDTH 0.5;\n"
                    "RELPOSITION 2;\n";
    if (!imagesPath.empty())
        t += "ImagesPath \"" + imagesPath + "\";\n";
    for (const char* slice : {"\"s1\" \"a.tif\"", "\"s2\" \"b.tif\"", "\"s3\" \"c.tif\""})
        t += std::string("SLICE ") + slice + ";\nSliceSize1 12;\nSliceSize2 16;\n";
    t += "MODEL \"cells\";\nPRIMITIVE Polygon;\nRESAMPLING 12 4;\n"
         "MODELITEM \"cells\" \"s1\";\nMODELITEMDATA 3,3 12,3 12,9 3,9;\n"
         "MODELITEM \"cells\" \"s2\";\nMODELITEMDATA 4,3 12,4 11,9 3,8;\n"
         "MODELITEM \"cells\" \"s3\";\nMODELITEMDATA 4,4 11,4 11,8 4,8;\n"
         "MODEL \"dots\";\nPRIMITIVE Polypoint;\n"
         "MODELITEM \"dots\" \"s1\";\nMODELITEMDATA 5,5 7,6 9,5;\n"
         "MODELITEM \"dots\" \"s2\";\nMODELITEMDATA 6,6 8,7;\n";
    return t;
}

// A dark 16 x 12 image with a bright disc at (x, y).
inline void writeBlobImage(const std::string& file, int x, int y)
{
    Image image;
    image.init(16, 12, 8);
    for (int r = 0; r < 12; ++r)
        for (int c = 0; c < 16; ++c)
            image.getRow(r)[c] = static_cast<unsigned char>((c - x) * (c - x) + (r - y) * (r - y) < 9 ? 200 : 20);
    ImageWriter().write(image, file, true);
}

// The images and tiny.sdf in directory.
inline void writeTinyStack(const std::string& directory)
{
    writeBlobImage(directory + "/a.tif", 6, 5);
    writeBlobImage(directory + "/b.tif", 7, 6);
    writeBlobImage(directory + "/c.tif", 8, 6);
    writeFile(directory + "/tiny.sdf", tinyText());
}

// R - |p - c| on 10 x 10 x 10 voxels of 0.5: a ball of radius 2.
inline void writeBall(const std::string& file)
{
    VoxelMatrix<float> m(10, 10, 10);
    for (int k = 0; k < 10; ++k)
        for (int i = 0; i < 10; ++i)
            for (int j = 0; j < 10; ++j)
                m(i, j, k) = 2.0f - 0.5f * static_cast<float>(std::hypot(i - 4.5, j - 4.5, k - 4.5));
    m.getVoxelCalibration().setVoxelSize(Vector<float>{0.5f, 0.5f, 0.5f});
    m.save(file, true);
}

} // namespace clitest
