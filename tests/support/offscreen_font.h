// Test fixture: the offscreen context of OffscreenGL with the baked font
// loaded into the show's global, from a scratch folder holding the show's
// files.
#pragma once

#include "assets/font.h"
#include "demo/demo.h"
#include "support/offscreen_gl.h"
#include "support/scratch_dir.h"
#include "support/show_files.h"

class OffscreenFont : public OffscreenGL {
 protected:
  void SetUp() override {
    OffscreenGL::SetUp();
    LinkShowFiles();
    font = new Font;
  }
  void TearDown() override {
    delete font;
    font = nullptr;
    OffscreenGL::TearDown();
  }

  ScratchDir dir;
};
