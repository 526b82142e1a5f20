// The four plants of the mesh scenes, modelled around their own origin
// (the point the scene's animation turns them about), y up, facing +z, about
// 1.6 units tall, each under 6000 triangles in groups coloured to sit with
// the circles' palette.
#pragma once

#include "mesh_builder.h"

// 1.mesh: a many-petalled daisy seen face on, with stem and two leaves.
MeshBuilder Daisy();
// 2.mesh: a fern frond curling into a crozier, with a young fiddlehead.
MeshBuilder Fern();
// 3.mesh: an arching stem of hanging bells over two broad leaves.
MeshBuilder BellFlower();
// 4.mesh: a seed head of plumed seeds on a stem.
MeshBuilder SeedHead();
