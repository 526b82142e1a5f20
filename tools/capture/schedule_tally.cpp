// The scheduler retires before it creates, so a new effect may reuse the
// address of one just deleted: effects are therefore not followed by
// address. Creations come from the rule counts (each rule makes one type),
// and retirements follow from the live counts: before + created - after.
#include "schedule_tally.h"

#include <algorithm>
#include <cmath>

#include "fx/demofx.h"

namespace {

void CountLive(long live[ScheduleTally::TYPES]) {
  for (int i = 0; i < ScheduleTally::TYPES; ++i) live[i] = 0;
  for (const DemoFX* fx : frags) {
    if (fx->type >= 1 && fx->type <= ScheduleTally::TYPES) ++live[fx->type - 1];
  }
}

}  // namespace

void ScheduleTally::Before() {
  CountLive(liveBefore);
  countsBefore = scheduleCounts();
}

void ScheduleTally::After(double showTime) {
  const ScheduleCounts& now = scheduleCounts();
  ScheduleCounts step;
  step.bass = now.bass - countsBefore.bass;
  step.mid = now.mid - countsBefore.mid;
  step.midForced = now.midForced - countsBefore.midForced;
  step.chanceCircle1 = now.chanceCircle1 - countsBefore.chanceCircle1;
  step.chanceCircle2 = now.chanceCircle2 - countsBefore.chanceCircle2;
  rules.bass += step.bass;
  rules.mid += step.mid;
  rules.midForced += step.midForced;
  rules.chanceCircle1 += step.chanceCircle1;
  rules.chanceCircle2 += step.chanceCircle2;

  const long created[TYPES] = {step.bass + step.chanceCircle1, step.chanceCircle2, step.mid + step.midForced};
  long liveAfter[TYPES] = {};
  CountLive(liveAfter);

  const size_t bucket = static_cast<size_t>(std::floor(std::max(0.0, showTime) / BUCKET_SECONDS));
  if (buckets.size() <= bucket) buckets.resize(bucket + 1);
  for (int i = 0; i < TYPES; ++i) {
    buckets[bucket].created[i] += created[i];
    buckets[bucket].retired[i] += liveBefore[i] + created[i] - liveAfter[i];
    if (created[i] > 0 && firstCreated[i] < 0.0) firstCreated[i] = showTime;
    if (created[i] > 0) lastCreated[i] = showTime;
  }

  ++buckets[bucket].frames;
  buckets[bucket].liveSum += static_cast<long>(frags.size());
  if (frames == 0) firstTime = showTime;
  lastTime = showTime;
  ++frames;
  if (frags.size() > peak) {
    peak = frags.size();
    peakTime = showTime;
  }
}

void ScheduleTally::Print(std::FILE* out, int fps) const {
  std::fprintf(out, "Schedule the show ran: %ld frames at %d fps, show time %.3f s to %.3f s\n", frames, fps,
               firstTime, lastTime);
  std::fprintf(out, "  show time     created: circle1 circle2 flora    retired: circle1 circle2 flora\n");
  Bucket total;
  for (size_t k = 0; k < buckets.size(); ++k) {
    const Bucket& b = buckets[k];
    std::fprintf(out, "  %3zu-%3zu s %20ld %7ld %5ld %20ld %7ld %5ld\n", k * 10, k * 10 + 10, b.created[0],
                 b.created[1], b.created[2], b.retired[0], b.retired[1], b.retired[2]);
    for (int i = 0; i < TYPES; ++i) {
      total.created[i] += b.created[i];
      total.retired[i] += b.retired[i];
    }
  }
  std::fprintf(out, "  total     %20ld %7ld %5ld %20ld %7ld %5ld\n", total.created[0], total.created[1],
               total.created[2], total.retired[0], total.retired[1], total.retired[2]);
  // Comparable with the live show's title, which counts the effects once a second.
  std::fprintf(out, "Live effects on average, per 10 s as above:");
  for (const Bucket& b : buckets) {
    std::fprintf(out, " %.2f", b.frames > 0 ? static_cast<double>(b.liveSum) / b.frames : 0.0);
  }
  std::fprintf(out, "\n");
  std::fprintf(out, "Peak of live effects: %zu, first at %.3f s\n", peak, peakTime);
  std::fprintf(out, "Created between:");
  const char* const names[TYPES] = {"circle1", "circle2", "flora"};
  for (int i = 0; i < TYPES; ++i) {
    if (firstCreated[i] < 0.0) {
      std::fprintf(out, "%s %s none", i > 0 ? "," : "", names[i]);
    } else {
      std::fprintf(out, "%s %s %.3f s and %.3f s", i > 0 ? "," : "", names[i], firstCreated[i],
                   lastCreated[i]);
    }
  }
  std::fprintf(out, "\n");
  std::fprintf(
      out,
      "Spawn rules fired: bass %ld, mid %ld, mid at the cap %ld, chance circle1 %ld, chance circle2 %ld\n",
      rules.bass, rules.mid, rules.midForced, rules.chanceCircle1, rules.chanceCircle2);
}
