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
//
// Beyond the statements refused, the log tells what would otherwise go
// unnoticed, each line with the line of the file where its statement begins
// (getLogEntries()): a number that is not wholly a number ("177,abc" reads as
// 177,0; the statement still applies), a value that makes no sense (a pixel
// width, aspect ratio, slice spacing or version that is not a positive
// finite number, a coordinate that is not finite, a length unit no prefix
// names: the statement is refused), a second slice or model of one name, a
// statement the end of the file cuts, an empty statement that ends reading
// before the end of the file (errors); an image whose size differs from the
// one the file recorded, a version newer than the reader's, slices lying at
// the very place of the slice before them (warnings).

#include "stack/stackio.h"

#include <string>
#include <string_view>

class Stack;

class StackReader : public StackIO {
public:
    // Reads fileName (".sdf" appended unless the name ends with that suffix)
    // into stack, which should be empty. False only when the file cannot be
    // opened; otherwise true, with problems in the log and the fatal-error
    // count.
    bool read(Stack& stack, const std::string& fileName);

    // The file read() opens for fileName: fileName with ".sdf" appended
    // unless its last component's suffix is "sdf".
    static std::string getFileName(const std::string& fileName);
    // Whether a text can be the start of a stack file: its first word, after
    // blanks and comments, is a keyword (true for a text of blanks and
    // comments alone, which may go on with a statement).
    static bool isStackText(std::string_view start);
};
