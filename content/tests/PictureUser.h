#pragma once

#include <QSize>

// Stands in for the tutor's application library in the picture test: a static library
// that loads a picture and is itself linked into a program, with no resource
// initialisation of its own.
QSize PictureSizeSeenByLibrary(const char* resource);
