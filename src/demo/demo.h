// The show's spine: start-up, one frame, shutdown, the show clock and the
// frame-rate title. The frame loop runs until Escape, the window closes, an
// interrupt (Ctrl-C) asks it to end, or the show clock passes the timetable's
// end (151 s for the built-in soundtrack).
#pragma once

#include "fx/showclock.h"

class Font;

extern int running;
// The show's one font: the credit and the overlay's readouts.
extern Font* font;

void init();
// Draws one frame; dt is the frame's delta time in seconds.
void display(float dt);
void done();
// Runs init, the frame loop and done; the program's exit status.
int runShow();

// Seconds since the previous call; the first call measures from the timer's start.
float GetDT();
// Counts a frame; about once a second writes "<frames> (frags=<effects>)" into the title.
void printFPS();
