// The show's music and the spectrum of what is being heard, whichever way
// the sound is produced: a sound file played on the output device, the same
// in silence where there is no device (taking over where playback had
// reached if the device is lost), read offline at exact positions, or an
// audio server's source listened to. The level fit is applied here.
#pragma once

#include <string>
#include <vector>

#include "music/level_gains.h"
#include "music/levelfit.h"

// Glossary:
//   sample   one float of one channel, -1..1 at full scale.
//   frame    one sample per channel; the stream runs at 44100 frames a second.
//   band     one of the spectrum's 512 values; band k is centred on
//            k * 44100 / 1024 Hz. A full-scale sine centred on a band reads
//            1 there, silence reads 0.
//   position seconds of the stream from its start: where playback is.

// Starts the output and plays the named file from its beginning, with the
// level fit gains (by default none); true when the music is playing. Without
// an output device the music plays silently, keeping time all the same.
// False when the file cannot be opened or decoded (logged with the file's
// name and the reason).
bool MusicInit(const char* name, LevelGains gains = LevelGains());
// Instead of playing a file, listens to the audio server's source (empty:
// the monitor of the default output, followed when the default changes).
// Nothing is played back. The spectrum is of the sound being heard, and the
// gains of the bands in fits are fitted to it as it goes, starting from 1.
// While the server or the source is away, the spectrum is silence and
// listening is tried again every second. The position is the seconds of
// sound heard since listening began.
void MusicListen(const std::string& source, const std::vector<BandFit>& fits);
// Stops playback or listening and closes whatever MusicInit opened, its
// level fit included; nothing if it opened nothing. MusicInit may be called
// again afterwards.
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
// The position being heard, in seconds; it stops at the end of the stream.
double MusicPosition();

// For rendering frames at exact times: with offline set, MusicInit opens the
// stream without any output, and the position is whatever
// MusicGetSpectrumAt last asked about (0 at first). Set before MusicInit.
void MusicSetOffline(bool offline);

// The silent output's clock, seconds from any origin; null restores the
// system's monotonic clock. Set before MusicInit.
void MusicSetClock(double (*clock)());
// While bands is not null, MusicGetSpectrum returns a copy of these 512
// values whatever the music does; null restores the music's own spectrum.
void MusicSetTestSpectrum(const float* bands);
