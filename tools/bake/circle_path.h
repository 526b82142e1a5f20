// The circles' sideways path: the .timeline spline that maps an ornament's
// normalised age (0..1) to its displacement, in units of its speed.
#pragma once

#include <string>

// Writes dir/circlemove.timeline; false on failure.
bool BakeCirclePath(const std::string& dir);
