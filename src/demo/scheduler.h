// The effect scheduler: once per frame it draws every live effect, retires
// the finished ones and creates new ones.
#pragma once

// One scheduler step; dt is the frame's delta time in seconds.
void processFX(float dt);
