// The show's loaders driven by raw bytes: each entry hands one input to a
// loader the way the show would and then uses what was loaded, at ordinary
// and at hostile arguments. Shared by the libFuzzer targets and the replay
// of the regression files in the ordinary test suite.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fuzz/fatal_seam.h"

// A ".mesh" file through Mesh (and split), then every group's triangles.
Outcome FuzzMesh(const uint8_t* data, size_t size);
// An ".anim" file through Animator, each curve's Eval and Animate at a few frames.
Outcome FuzzAnim(const uint8_t* data, size_t size);
// A ".timeline" file through Timeline::Load, then Eval in and out of [0, 1].
Outcome FuzzTimeline(const uint8_t* data, size_t size);
// A Bezier path file through BezierCurve::Load, Eval, AddPoint and RotateAround.
Outcome FuzzBezier(const uint8_t* data, size_t size);
// PNG bytes through Texture::load_png.
Outcome FuzzPng(const uint8_t* data, size_t size);
// A font metrics text through Font::ReadWidths and the layout of every glyph.
Outcome FuzzFont(const uint8_t* data, size_t size);
// mp3 bytes through the music module's offline reader and its spectrum.
Outcome FuzzMp3(const uint8_t* data, size_t size);
// Any sound file through ScanTrack (a minute of it at most), the fit of the
// scan, and a TrackStream's Seek and Read at ordinary and hostile frames.
Outcome FuzzTrack(const uint8_t* data, size_t size);
