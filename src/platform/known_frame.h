// A frame every renderer the offscreen context may take must draw exactly:
// a clear and a textured quad, read back and compared with the pixels
// worked out for it. A device that initialises but cannot draw is found
// out before the show is drawn on it.
#pragma once

namespace platform {

// Draws the frame in the current context, in a framebuffer of its own that
// it deletes again; true when every pixel came back as expected and the GL
// reported no error. Meant for a context made to try a renderer: the state it
// sets stays set.
bool DrawsKnownFrame();

}  // namespace platform
