// The instruments of the soundtrack: each call renders one note into a
// stereo bus, added to what is there. Times in seconds, notes as MIDI
// numbers, velocity 0..1, pan -1 (left) .. 1 (right).
#pragma once

#include "dsp.h"

// A deep, short-pitched kick: 160 Hz falling to 50 Hz, most of its energy near 50 Hz.
void Kick(Stereo& bus, double start, double velocity);
// A hand clap layered over a short snare body.
void Clap(Stereo& bus, double start, double velocity, double pan);
// Hi-hat from filtered noise; open rings longer.
void Hat(Stereo& bus, double start, double velocity, bool open, double pan);
// A plucked, filter-swept bass with a sine sub an octave down kept quiet.
void Bass(Stereo& bus, double start, double length, double note, double velocity);
// A slow, wide pad voice: two detuned saws through a soft low-pass.
void Pad(Stereo& bus, double start, double length, double note, double velocity);
// A short bright pluck for arpeggios.
void Pluck(Stereo& bus, double start, double note, double velocity, double pan, double brightness);
// The lead voice: a sawtooth pair with delayed vibrato and a gentle low-pass.
void Lead(Stereo& bus, double start, double length, double note, double velocity);
// A struck bell: a strong fundamental with a few inharmonic partials.
void Bell(Stereo& bus, double start, double note, double velocity, double pan);
// A noise swell rising in pitch, for builds into a section.
void Riser(Stereo& bus, double start, double length, double velocity);
