#pragma once
// PLXIcons: the icons of the root window's commands and the program's logo,
// drawn at run time (no image files to ship or lose), in the tool-bar size.

#include <QIcon>
#include <QSize>

namespace PLXIcons {

// The size of tool-bar icons.
inline constexpr QSize toolBarIconSize(24, 24);

// The logo: three stacked sections with an outline across them.
QIcon logo();

QIcon openStack();
QIcon saveStack();
QIcon closeStack();
QIcon panorama();
QIcon singleSlice();
QIcon registerSlices();
QIcon reconstruct();
QIcon undo();
QIcon redo();
QIcon overview();
QIcon firstSlice();
QIcon previousSlice();
QIcon nextSlice();
QIcon lastSlice();
// A note; with a plus sign when there is an annotation.
QIcon annotation(bool present);

} // namespace PLXIcons
