#pragma once
// StackReader: reads a stack file of any version into a stack. Reading goes
// statement by statement; a statement that fails adds one line to the log
// and reading goes on with the next one, the stack keeping everything read
// so far. Missing slice images and refused mosaic tiles count as fatal
// errors: the caller decides from getNumFatalErrors() whether to keep the
// stack.
//
// Statements name the objects they apply to through a reading context (the
// current slice, model, item, pose, standard image, calibration curve and
// sample); a statement whose object is not current is refused.
//
// Images paths: from version 1.01, "ImagesPath" sets a reading-time images
// directory (absolute, or relative to the stack file's directory) to which
// every slice and tile image name is joined. In older files it changes the
// stack's own images path and absolute-path policy, and relative image names
// are joined to that path.
//
// Numbers are read in the "C" locale whatever the user's locale.

#include "stack/stackio.h"

#include <string>

class Stack;

class StackReader : public StackIO {
public:
    // Reads fileName (".sdf" appended unless the name ends with that suffix)
    // into stack, which should be empty. False only when the file cannot be
    // opened; otherwise true, with problems in the log and the fatal-error
    // count.
    bool read(Stack& stack, const std::string& fileName);
};
