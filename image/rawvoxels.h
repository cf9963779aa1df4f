#pragma once
// RawVoxels: the voxels of a volume file as stored (an element type, a byte
// order, the first axis running fastest), turned plane by plane into an
// AnyVoxelMatrix of the matching type, so that the values stay what they are:
// 8- and 16-bit integers stay 8- and 16-bit, 32-bit integers and floats keep
// theirs; 64-bit integers become doubles and half floats floats.
//
// Axis 0 of the file becomes the columns (x), axis 1 the rows (y) and axis 2
// the planes (z). Formats whose rows run upwards (y = 0 at the bottom, as in
// NIfTI and MRC files) ask for the rows to be flipped, so that row 0 is the
// top of the picture as their viewers show it and left stays left.
//
// A linear scaling (value = slope x stored + intercept) makes floats (doubles
// for 32- and 64-bit data).
//
// Used by the volume readers of image/; no caller outside them needs it.

#include "image/anyvoxelmatrix.h"
#include "numerics/progresssubject.h"

#include <cstdint>
#include <functional>
#include <string>

struct RawVoxels {
    enum class Element { UInt8, Int8, UInt16, Int16, UInt32, Int32, UInt64, Int64, Float16, Float32, Float64 };

    Element element = Element::UInt8;
    bool bigEndian = false;
    // Columns, rows, planes: each at least 1.
    std::int64_t size[3] = {0, 0, 0};
    bool flipRows = false;
    bool scaled = false;
    double slope = 1.0;
    double intercept = 0.0;

    static int elementSize(Element element);
    static std::string elementName(Element element);
    // Bytes of one plane and of the whole volume; false when they overflow
    // or when the volume exceeds what a VoxelMatrix holds (rows, columns
    // and planes within int, a plane within 2^31 bytes).
    bool planeBytes(std::uint64_t& bytes) const;
    bool totalBytes(std::uint64_t& bytes) const;

    // Reads the planes one after the other through read(buffer, bytes),
    // which returns false when the data ends early: FileFormatError "Voxel
    // data ends early" (where is the caller's). Progress (planes done,
    // planes) goes to progress when given.
    AnyVoxelMatrix read(const std::function<bool(void*, std::size_t)>& read, const char* where,
                        ProgressSubject* progress = nullptr) const;
};
