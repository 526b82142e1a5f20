// How the show blends what it draws over what is there. Its colour always
// blends by the source's alpha. With coverage alpha on (a video to lay over
// other footage), the alpha channel also keeps how much the show covers
// each pixel: 0 where nothing was drawn, so the framebuffer holds colour
// premultiplied by that coverage.
#pragma once

namespace platform {

// Set before the show starts drawing; off by default.
void SetCoverageAlpha(bool on);
bool CoverageAlpha();

// Source over destination: colour by the source's alpha; with coverage
// alpha, alpha as a + (1 - a) * destination.
void BlendOver();
// A black veil fading the frame: colour as BlendOver; with coverage alpha,
// the alpha fades with it, to transparent.
void BlendFade();

}  // namespace platform
