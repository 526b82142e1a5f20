// How both circle effects draw a sprite: its textured square, less the corners its image leaves empty.
#pragma once

class Texture;

// A square from (-1, -1) to (1, 1) with the image's top row at the top,
// tinted by the current colour; the caller places it, scaled by halfSide
// (flat-view units, so the square's side is 2 * halfSide units). The corners
// the image leaves transparent at that drawn size are not drawn: blended,
// they would leave every pixel as it was, and they are a good share of the
// fragments. Without an image, the whole square.
void DrawSprite(const Texture* image, float halfSide);

// The corner cuts for an image whose non-transparent texels lie within
// reach (a share of its side) of its centre, drawn with a side of
// sidePixels: the cut lines |x| + |y| = c in the square's own units, c
// from 1 (a diamond) to 2 (no cut). Sampled from the nearest mipmap level,
// bilinearly, a point of the square can only be non-transparent within
// 3 level-texels (at most 3 * sqrt(2) / sidePixels of the side) of that
// reach; the cut keeps 4 / sidePixels.
float SpriteCornerCut(float reach, float sidePixels);
