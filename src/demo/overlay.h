// A diagnostic view of the music spectrum drawn over the frame: the graph of
// bands 0..254, a grid of levels, a cross-hair at the mouse with the band and
// level under it, and the show clock with the music's position under it.
// The show draws it only when asked to.
#pragma once

// Draws the overlay with the current GL state; expects the model-view matrix
// mode and leaves both matrix stacks as it found them.
void MusicDrawFFT();
