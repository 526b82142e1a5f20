// A file already at 44100 Hz goes straight from the decoder, so its samples
// are exactly the decoder's; others pass through one libsoxr resampler,
// which is flushed at the end so no frame of the file is lost.
#include "music/trackstream.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>

TrackStream::~TrackStream() { Close(); }

bool TrackStream::Open(const char* name, std::string* reason) {
  Close();
  decoder = OpenDecoder(name, reason);
  if (decoder == nullptr) return false;
  decoded.assign(static_cast<size_t>(CHUNK) * decoder->channels, 0.0f);
  if (decoder->rate != RATE) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t error = nullptr;
    resampler = soxr_create(decoder->rate, RATE, CHANNELS, &error, &io, &quality, nullptr);
    if (resampler == nullptr) {
      *reason = std::string("cannot resample it: ") + (error != nullptr ? error : "unknown error");
      Close();
      return false;
    }
    pending.assign(static_cast<size_t>(CHUNK) * CHANNELS, 0.0f);
  }
  next = 0;
  ended = false;
  return true;
}

void TrackStream::Close() {
  if (resampler != nullptr) soxr_delete(resampler);
  resampler = nullptr;
  decoder.reset();
  pendingFrom = pendingFrames = 0;
  sourceEnded = false;
  next = 0;
  ended = true;
}

int TrackStream::DecodeStereo(float* out, int frames) {
  const int channels = decoder->channels;
  const int got = decoder->Read(decoded.data(), frames);
  // A float file may hold anything: infinities and NaN are taken as silence,
  // and samples are held within a range no real track comes near (a decoded
  // MP3 overshoots full scale by a little), which keeps the spectrum finite.
  for (size_t i = 0; i < static_cast<size_t>(got) * channels; ++i) {
    decoded[i] = std::isfinite(decoded[i]) ? std::clamp(decoded[i], -MAX_SAMPLE, MAX_SAMPLE) : 0.0f;
  }
  const float* in = decoded.data();
  for (int i = 0; i < got; ++i, in += channels) {
    if (channels == 1) {
      out[2 * i] = out[2 * i + 1] = in[0];
    } else if (channels == 2) {
      out[2 * i] = in[0];
      out[2 * i + 1] = in[1];
    } else {
      // More than two: the even channels go to the left and the odd ones to
      // the right, so that pairs in opposite phase (left and right, the
      // surround pair) do not cancel as they would in one mix.
      float sums[2] = {0.0f, 0.0f};
      for (int c = 0; c < channels; ++c) sums[c % 2] += in[c];
      out[2 * i] = sums[0] / static_cast<float>((channels + 1) / 2);
      out[2 * i + 1] = sums[1] / static_cast<float>(channels / 2);
    }
  }
  if (got < frames) sourceEnded = true;
  return got;
}

int TrackStream::ReadResampled(float* out, int frames) {
  int done = 0;
  while (done < frames && !ended) {
    if (pendingFrames == 0 && !sourceEnded) {
      pendingFrames = static_cast<size_t>(DecodeStereo(pending.data(), CHUNK));
      pendingFrom = 0;
    }
    // Once the file has given everything, a null input flushes what the
    // resampler still holds.
    const bool flushing = sourceEnded && pendingFrames == 0;
    size_t used = 0;
    size_t made = 0;
    const soxr_error_t failed = soxr_process(
        resampler, flushing ? nullptr : pending.data() + pendingFrom * CHANNELS, pendingFrames, &used,
        out + static_cast<size_t>(done) * CHANNELS, static_cast<size_t>(frames - done), &made);
    pendingFrom += used;
    pendingFrames -= used;
    done += static_cast<int>(made);
    // A resampler that fails, or takes and gives nothing, would spin here in
    // the audio callback: the stream ends instead.
    if (failed != nullptr || (used == 0 && made == 0)) ended = true;
  }
  return done;
}

int TrackStream::Read(float* out, int frames) {
  if (decoder == nullptr) return 0;
  int done = 0;
  if (resampler != nullptr) {
    done = ReadResampled(out, frames);
  } else {
    while (done < frames && !ended) {
      done += DecodeStereo(out + static_cast<size_t>(done) * CHANNELS, std::min(CHUNK, frames - done));
      ended = sourceEnded;
    }
  }
  next += done;
  return done;
}

void TrackStream::Seek(int64_t frame) {
  if (decoder == nullptr) return;
  next = std::max<int64_t>(frame, 0);
  pendingFrom = pendingFrames = 0;
  sourceEnded = false;
  if (resampler != nullptr) soxr_clear(resampler);
  // Past any track (25 years), and short of overflowing the conversion.
  if (next > int64_t{1} << 45) {
    ended = true;
    return;
  }
  const int64_t source =
      resampler != nullptr ? std::llround(static_cast<double>(next) * decoder->rate / RATE) : next;
  ended = !decoder->Seek(source);
}
