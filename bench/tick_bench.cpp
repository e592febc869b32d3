// The refresh tick runs ten times a second all day: what one costs.
#include <benchmark/benchmark.h>

#include "display/local_clock.h"
#include "display/refresh.h"

namespace brumo {
namespace {

struct Fixture {
  Fixture() {
    phrases.InitBrumo();
    RefreshTick(reading, phrases, "/", labels);
  }
  Phrases phrases;
  LabelTexts labels;
  ClockReading reading{2026, 3, 14, 14, 47, 58};
};

// Nine ticks in ten: the second has not changed, nothing is written.
void BM_TickNoChange(benchmark::State& state) {
  Fixture f;
  for (auto _ : state) benchmark::DoNotOptimize(RefreshTick(f.reading, f.phrases, "/", f.labels));
}
BENCHMARK(BM_TickNoChange);

// The first tick of a new second: the seconds label is rewritten.
void BM_TickSecondChanges(benchmark::State& state) {
  Fixture f;
  ClockReading r = f.reading;
  for (auto _ : state) {
    r.second = r.second == 58 ? 59 : 58;
    benchmark::DoNotOptimize(RefreshTick(r, f.phrases, "/", f.labels));
  }
}
BENCHMARK(BM_TickSecondChanges);

// A band edge: minutes, seconds and the phrase all change (14:47:59 <-> 14:48:00).
void BM_TickBandEdge(benchmark::State& state) {
  Fixture f;
  const ClockReading a{2026, 3, 14, 14, 47, 59};
  const ClockReading b{2026, 3, 14, 14, 48, 0};
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    benchmark::DoNotOptimize(RefreshTick(flip ? a : b, f.phrases, "/", f.labels));
  }
}
BENCHMARK(BM_TickBandEdge);

// A whole steady tick as the program runs it: the real clock read, then the texts compared.
void BM_ClockAndTick(benchmark::State& state) {
  Fixture f;
  LocalClock clock;
  for (auto _ : state) benchmark::DoNotOptimize(RefreshTick(clock.Now(), f.phrases, "/", f.labels));
}
BENCHMARK(BM_ClockAndTick);

}  // namespace
}  // namespace brumo

BENCHMARK_MAIN();
