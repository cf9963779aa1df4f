#pragma once
// FusionFile: a fusion's configuration as a small text file, one setting per
// line ("key = value"), "#" starting a comment, and one section per surface
// structure:
//
//     name = study
//     stack = specimen1.sdf             (relative to the file's directory)
//     alignment = yes
//     registration = yes
//     registration algorithm = global   (or pairwise)
//     reference stack = specimen1       (the template of the pairwise method)
//     registration iterations = 10
//     warping = no
//     warping model = polynomials       (or thin-plate splines)
//     polynomial degree = 2
//
//     [structure organ]
//     reference = yes
//     resampling height = 20
//     resampling width = 32
//     resampling error = -1
//
// Keys and words are matched without regard to case; booleans are yes/no,
// true/false or on/off. Unknown keys, repeated keys, bad values and
// sections are errors naming the file and the line.

#include "statistics/fusionconfig.h"

#include <stdexcept>
#include <string>
#include <vector>

// A configuration file that cannot be used; the message starts with
// "FILE:LINE: ".
class FusionFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct FusionFile {
    // The configuration without its stacks.
    FusionConfig<float> config;
    // The stack files named, relative ones resolved against the file's
    // directory.
    std::vector<std::string> stackFiles;

    // Reads a file: FileReadError when it cannot be read, FusionFileError
    // for its content.
    static FusionFile read(const std::string& file);
    // Parses text as the content of file (for the messages and the stack
    // paths).
    static FusionFile parse(const std::string& text, const std::string& file);
};
