// The mesh scene in the offscreen context: lit and fogged pixels where its
// mesh is, 35 frames a second up to (not including) the end frame, its GL
// state undone by the caller's attribute push/pop, and the slot it gives back.
#include "fx/flora0frag.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "anim/animator.h"
#include "assets/mesh.h"
#include "fx_support.h"
#include "support/offscreen_gl.h"
#include "support/scratch_dir.h"

namespace {

class FloraRender : public OffscreenGL {
 protected:
  void SetUp() override {
    OffscreenGL::SetUp();
    // Frames 1 to 36, the mesh held 2 units in front of the origin (3 from the eye).
    WriteFile("near.anim", "1 locz 2 linear constant  0 2 1 2 2 2  35 2 36 2 37 2\n");
    // A red square facing the camera, 2 x 2 units around the origin.
    WriteFile("square.mesh",
              "g square\ncol 1 0 0\n"
              "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n"
              "vn 0 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\n"
              "f 0 1 2\nf 0 2 3\n");
    for (int i = 0; i < Flora0Frag::SLOTS; ++i) {
      Flora0Frag::anim[i] = new Animator("near.anim");
      Flora0Frag::mesh[i] = new Mesh("square.mesh");
      Flora0Frag::used[i] = false;
    }
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  }
  void TearDown() override {
    for (int i = 0; i < Flora0Frag::SLOTS; ++i) {
      delete Flora0Frag::anim[i];
      delete Flora0Frag::mesh[i];
      Flora0Frag::anim[i] = nullptr;
      Flora0Frag::mesh[i] = nullptr;
    }
    OffscreenGL::TearDown();
  }

  // Takes slot as the scheduler does.
  void Start(Flora0Frag& fx, int slot) {
    fx.alive = true;
    fx.slot = slot;
    fx.time = Flora0Frag::anim[slot]->startFrame;
    Flora0Frag::used[slot] = true;
  }

  // One frame as the scheduler draws it, on a cleared screen.
  void Frame(Flora0Frag& fx, float dt) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    fx.Render(dt);
    glPopAttrib();
  }

  bool Black(int x, int y) const {
    const std::array<int, 4> p = Pixel(x, y);
    return p[0] == 0 && p[1] == 0 && p[2] == 0;
  }

  ScratchDir dir;
};

}  // namespace

TEST_F(FloraRender, LightsTheMeshPixelsAndFogsThem) {
  Flora0Frag fx;
  Start(fx, 2);
  Frame(fx, 0.1f);
  EXPECT_FLOAT_EQ(fx.time, 1.0f + 3.5f);
  // Full diffuse light on red, clamped to 1, then linear fog at distance 3
  // of 0.5..5.1 keeps (5.1 - 3) / 4.6 of it. Green and blue get only the
  // scene's ambient 0.2 x 0.3.
  const double fog = (5.1 - 3.0) / 4.6;
  const std::array<int, 4> centre = Pixel(400, 300);
  EXPECT_NEAR(centre[0], 255.0 * fog, 3.0);
  EXPECT_NEAR(centre[1], 255.0 * 0.06 * fog, 3.0);
  EXPECT_NEAR(centre[2], 255.0 * 0.06 * fog, 3.0);
  // The square spans 2 units at distance 3 under a 60-degree view: about
  // 2 / (2 tan 30 x 3) of the height, 346 pixels around the centre.
  EXPECT_FALSE(Black(400, 300 + 160));
  EXPECT_FALSE(Black(400 - 160, 300));
  EXPECT_TRUE(Black(400, 300 + 185));
  EXPECT_TRUE(Black(400 + 185, 300));
  EXPECT_TRUE(Black(5, 5));
}

TEST_F(FloraRender, NearerSurfacesComeOutOfTheFog) {
  WriteFile("nearer.anim", "1 locz 2 linear constant  0 4 1 4 2 4  35 4 36 4 37 4\n");
  delete Flora0Frag::anim[0];
  Flora0Frag::anim[0] = new Animator("nearer.anim");
  Flora0Frag fx;
  Start(fx, 0);
  Frame(fx, 0.02f);
  // One unit from the eye: (5.1 - 1) / 4.6 of the light.
  EXPECT_NEAR(Pixel(400, 300)[0], 255.0 * (5.1 - 1.0) / 4.6, 3.0);
}

TEST_F(FloraRender, StateInsideTheFrameIsUndoneByThePop) {
  Flora0Frag fx;
  Start(fx, 1);
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  fx.Render(0.1f);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_FOG));
  GLint mode = 0;
  glGetIntegerv(GL_FOG_MODE, &mode);
  EXPECT_EQ(mode, GL_LINEAR);
  GLfloat start = 0.0f, end = 0.0f;
  glGetFloatv(GL_FOG_START, &start);
  glGetFloatv(GL_FOG_END, &end);
  EXPECT_FLOAT_EQ(start, 0.5f);
  EXPECT_FLOAT_EQ(end, 5.1f);
  GLfloat ambient[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  glGetMaterialfv(GL_BACK, GL_AMBIENT, ambient);
  EXPECT_FLOAT_EQ(ambient[0], 0.3f);
  EXPECT_FLOAT_EQ(ambient[3], 1.0f);
  glPopAttrib();
  EXPECT_TRUE(glIsEnabled(GL_BLEND)) << "the circles after it blend again";
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_FOG));
}

TEST_F(FloraRender, ThirtyFiveFramesASecondAndTheEndFrameIsNeverDrawn) {
  Flora0Frag fx;
  Start(fx, 3);
  Frame(fx, 1.0f / 35.0f);
  EXPECT_FLOAT_EQ(fx.time, 2.0f);
  EXPECT_TRUE(fx.alive);

  fx.time = 35.0f;
  Frame(fx, 0.5f / 35.0f);
  EXPECT_TRUE(fx.alive);
  EXPECT_FALSE(Black(400, 300)) << "frame 35.5 still drawn";

  fx.time = 1.0f;
  Frame(fx, 1.0f);  // exactly frame 36
  EXPECT_EQ(fx.time, 36.0f);
  EXPECT_FALSE(fx.alive);
  EXPECT_TRUE(Black(400, 300));
  EXPECT_TRUE(Flora0Frag::used[3]) << "the slot is given back by Done, not by Render";
}

TEST_F(FloraRender, NotAliveDrawsNothingAndKeepsItsFrame) {
  Flora0Frag idle;
  EXPECT_EQ(idle.type, 3);
  EXPECT_EQ(idle.slot, -1);
  EXPECT_FALSE(idle.alive);
  idle.time = 7.0f;
  Frame(idle, 0.5f);
  EXPECT_EQ(idle.time, 7.0f);
  EXPECT_TRUE(Black(400, 300));
}

TEST_F(FloraRender, DoneGivesBackOnlyItsOwnSlot) {
  Flora0Frag a;
  Flora0Frag b;
  Start(a, 0);
  Start(b, 2);
  a.Done();
  EXPECT_FALSE(Flora0Frag::used[0]);
  EXPECT_TRUE(Flora0Frag::used[2]);

  const bool before[4] = {true, false, true, true};
  for (int i = 0; i < 4; ++i) Flora0Frag::used[i] = before[i];
  Flora0Frag none;
  none.Done();
  Flora0Frag wild;
  wild.slot = 4;
  wild.Done();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Flora0Frag::used[i], before[i]) << i;
}

TEST_F(FloraRender, MissingSceneOrSlotEndsWithoutDrawing) {
  Flora0Frag wild;
  wild.alive = true;
  wild.slot = 9;
  Frame(wild, 0.1f);
  EXPECT_FALSE(wild.alive);

  delete Flora0Frag::anim[1];
  Flora0Frag::anim[1] = nullptr;
  Flora0Frag noMotion;
  noMotion.alive = true;
  noMotion.slot = 1;
  Frame(noMotion, 0.1f);
  EXPECT_FALSE(noMotion.alive);

  delete Flora0Frag::mesh[2];
  Flora0Frag::mesh[2] = nullptr;
  Flora0Frag noMesh;
  Start(noMesh, 2);
  Frame(noMesh, 0.1f);
  EXPECT_TRUE(noMesh.alive) << "the motion still runs its course";
  EXPECT_TRUE(Black(400, 300));
}
