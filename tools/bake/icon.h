// The program's 256 x 256 icon for desktop menus: a circle ornament of the
// show, three rings joined by a curve, in colour on a dark disc.
#pragma once

#include <string>

// Writes the icon as an RGBA PNG; false on a write failure.
bool BakeIcon(const std::string& path);
