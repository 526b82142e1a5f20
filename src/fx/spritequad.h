// The one textured square both circle effects draw their sprites with.
#pragma once

// A GL_QUADS square from (-1, -1) to (1, 1) with the image's top row at the
// top, tinted by the current colour; the caller places and sizes it.
void SpriteQuad();
