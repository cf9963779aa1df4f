// Writes test volumes for the comparison of our Marching Cubes 33 surfaces
// with another implementation of the same tables (marchingcubes_compare.py),
// and prints, for each, the counts of our open surface:
//     <file> <size1> <size2> <size3> <iso> <vertices> <triangles>
// A volume file holds size1 x size2 x size3 floats, native byte order, the
// third index running fastest: element (i, j, k) at (i x size2 + j) x size3 + k.
//
// Usage: marchingcubescounts DIRECTORY

#include "imageprocessing/marchingcubes.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace {

VoxelMatrix<float> noise(int s1, int s2, int s3, std::mt19937& rng)
{
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    VoxelMatrix<float> v(s1, s2, s3);
    for (int k = 0; k < s3; ++k)
        for (int i = 0; i < s1; ++i)
            for (int j = 0; j < s2; ++j)
                v(i, j, k) = u(rng);
    return v;
}

// Noise averaged over 3 x 3 x 3 boxes, twice: blobs with many saddles.
VoxelMatrix<float> smoothNoise(int s1, int s2, int s3, std::mt19937& rng)
{
    VoxelMatrix<float> v = noise(s1, s2, s3, rng);
    for (int pass = 0; pass < 2; ++pass) {
        VoxelMatrix<float> out(s1, s2, s3);
        for (int k = 0; k < s3; ++k)
            for (int i = 0; i < s1; ++i)
                for (int j = 0; j < s2; ++j) {
                    float sum = 0;
                    int n = 0;
                    for (int c = -1; c <= 1; ++c)
                        for (int a = -1; a <= 1; ++a)
                            for (int b = -1; b <= 1; ++b)
                                if (v.contains(i + a, j + b, k + c))
                                    sum += v(i + a, j + b, k + c), ++n;
                    out(i, j, k) = sum / static_cast<float>(n);
                }
        v = out;
    }
    return v;
}

VoxelMatrix<float> blobs(int size, int count, std::mt19937& rng)
{
    std::uniform_real_distribution<float> centre(0.0f, static_cast<float>(size - 1)), width(1.5f, 6.0f);
    VoxelMatrix<float> v(size, size, size);
    v.setZeros();
    for (int b = 0; b < count; ++b) {
        const float ci = centre(rng), cj = centre(rng), ck = centre(rng), w = width(rng);
        for (int k = 0; k < size; ++k)
            for (int i = 0; i < size; ++i)
                for (int j = 0; j < size; ++j) {
                    const float d2 = (i - ci) * (i - ci) + (j - cj) * (j - cj) + (k - ck) * (k - ck);
                    v(i, j, k) += std::exp(-d2 / (2 * w * w));
                }
    }
    return v;
}

bool write(const std::string& file, const VoxelMatrix<float>& v)
{
    std::vector<float> data;
    data.reserve(static_cast<size_t>(v.getSize1()) * v.getSize2() * v.getSize3());
    for (int i = 0; i < v.getSize1(); ++i)
        for (int j = 0; j < v.getSize2(); ++j)
            for (int k = 0; k < v.getSize3(); ++k)
                data.push_back(v(i, j, k));
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size() * sizeof(float)));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: marchingcubescounts DIRECTORY\n";
        return 2;
    }
    const std::string directory = argv[1];
    std::mt19937 rng(2024);
    struct Case {
        VoxelMatrix<float> volume;
        float iso;
    };
    std::vector<Case> cases;
    for (int n = 0; n < 6; ++n)
        cases.push_back({noise(5 + 3 * n, 7 + 2 * n, 4 + 4 * n, rng), 0.5f});
    cases.push_back({noise(2, 40, 31, rng), 0.3f});
    cases.push_back({noise(23, 2, 2, rng), 0.7f});
    for (int n = 0; n < 4; ++n)
        cases.push_back({smoothNoise(30 + n, 27, 33 - n, rng), 0.5f + 0.01f * static_cast<float>(n)});
    cases.push_back({blobs(40, 12, rng), 0.5f});
    cases.push_back({blobs(33, 6, rng), 0.2f});

    MarchingCubes<float> mc;
    for (size_t c = 0; c < cases.size(); ++c) {
        const VoxelMatrix<float>& v = cases[c].volume;
        const std::string file = directory + "/volume" + std::to_string(c) + ".raw";
        if (!write(file, v)) {
            std::cerr << "cannot write " << file << "\n";
            return 1;
        }
        const TriMesh<float> mesh = mc.buildMesh(v, cases[c].iso, false);
        std::printf("%s %d %d %d %.9g %d %d\n", file.c_str(), v.getSize1(), v.getSize2(), v.getSize3(),
                    static_cast<double>(cases[c].iso), mesh.getNumVertices(), mesh.getNumTriangles());
    }
    return 0;
}
