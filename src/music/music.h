// The show's music: one sound file streamed from disk and played once, and
// the spectrum of what is being heard. Without an output device a silent
// output keeps the same time, and takes over from where playback had reached
// if the device is lost; offline, the stream is read at exact positions.
#pragma once

#include <string>
#include <vector>

#include "music/levelfit.h"

// Glossary:
//   sample   one float of one channel, -1..1 at full scale.
//   frame    one sample per channel; the stream runs at 44100 frames a second.
//   band     one of the spectrum's 512 values; band k is centred on
//            k * 44100 / 1024 Hz. A full-scale sine centred on a band reads
//            1 there, silence reads 0.
//   position seconds of the stream from its start: where playback is.

// Starts the output and plays the named file from its beginning; true when
// the music is playing. Without an output device the music plays silently,
// keeping time all the same. False when the file cannot be opened or decoded
// (logged with the file's name and the reason).
bool MusicInit(const char* name);
// Instead of playing a file, listens to the audio server's source (empty:
// the monitor of the default output, followed when the default changes).
// Nothing is played back. The spectrum is of the sound being heard, and the
// gains of the bands in fits are fitted to it as it goes, starting from 1.
// While the server or the source is away, the spectrum is silence and
// listening is tried again every second. The position is the seconds of
// sound heard since listening began.
void MusicListen(const std::string& source, const std::vector<BandFit>& fits);
// Stops playback or listening and closes whatever MusicInit opened; nothing if it opened
// nothing. MusicInit may be called again afterwards.
void MusicDone();
// The spectrum at the current position: 512 bands, band 0 the lowest, valid
// until the next call. Null when no music is playing (the output did not
// start or the file could not be decoded).
float* MusicGetSpectrum();
// The spectrum at a show time, in seconds from the stream's start, for a
// scheduler tick: offline, the spectrum at exactly that position; live,
// what is being heard, as MusicGetSpectrum gives it.
float* MusicGetSpectrumAt(double seconds);
// Keeps up with the output device or the source listened to; the show calls
// it every frame, whether or not it reads the spectrum in that frame, so a
// source's sound is taken in as it comes.
void MusicFollow();
// Moves playback to ms milliseconds from the start of the stream (clamped to 0).
void MusicSetPos(int ms);
// The position being heard, in seconds; it stops at the end of the stream.
double MusicPosition();

// For rendering frames at exact times: with offline set, MusicInit opens the
// stream without any output and the position is whatever
// MusicSetOfflinePosition last set (0 at first). Set before MusicInit.
void MusicSetOffline(bool offline);
// Offline: the position, in seconds, whose spectrum MusicGetSpectrum gives.
// The spectrum is the same function of the position as in playback.
void MusicSetOfflinePosition(double seconds);

// The silent output's clock, seconds from any origin; null restores the
// system's monotonic clock. Set before MusicInit.
void MusicSetClock(double (*clock)());
// Gains for the 512 bands of every spectrum MusicGetSpectrum gives from now
// on, fitted to the music's levels; null: the spectrum as analysed. A fitted
// spectrum counts every channel (see SpectrumAnalyser::AnalyseChannels); the
// unfitted one is of the mono mix, as the built-in soundtrack was made for.
void MusicSetLevelGains(const float* gains);
// While bands is not null, MusicGetSpectrum returns a copy of these 512
// values whatever the music does; null restores the music's own spectrum.
void MusicSetTestSpectrum(const float* bands);
