#include "encrypter/random_source.h"

#include <numbers>

#include "recordstore/platform.h"

namespace encrypter {

namespace {

// The clock chosen by the first reading.
struct Clock {
  bool high_resolution = false;
  double seconds_per_tick = 0.001;
};

Clock ChooseClock() {
  Clock clock;
  int64_t frequency = 0;
  int64_t ticks = 0;
  if (recordstore::HighResolutionFrequency(&frequency) && frequency > 0 &&
      recordstore::ReadHighResolutionCounter(&ticks)) {
    clock.high_resolution = true;
    clock.seconds_per_tick = 1.0 / static_cast<double>(frequency);
  }
  return clock;
}

}  // namespace

double Seconds() {
  static const Clock clock = ChooseClock();
  if (clock.high_resolution) {
    int64_t ticks = 0;
    recordstore::ReadHighResolutionCounter(&ticks);
    return static_cast<double>(ticks) * clock.seconds_per_tick;
  }
  return static_cast<double>(recordstore::MillisecondTicks()) * 0.001;
}

double Pi() { return std::numbers::pi; }

void SeedRandomSource(RandomSource* source, double seed) {
  // -2^63 <= seed < 2^63, which also rules out NaN.
  int64_t truncated = 0;
  if (seed >= -9223372036854775808.0 && seed < 9223372036854775808.0) {
    truncated = static_cast<int64_t>(seed);
  }
  source->mt[0] = static_cast<uint32_t>(static_cast<uint64_t>(truncated));
  for (int k = 1; k < kStateWords; ++k) {
    source->mt[k] = source->mt[k - 1] * 1664525u + 1013904223u;
  }
  source->index = kStateWords;
}

// Regenerates all words in place, in ascending order, so that the words read
// at k + 397 for k >= 227, and mt[0] at k = 623, are already the new ones.
static void Regenerate(RandomSource* source) {
  uint32_t* mt = source->mt;
  for (int k = 0; k < kStateWords; ++k) {
    uint32_t y = (mt[k] & 0x80000000u) | (mt[(k + 1) % kStateWords] & 0x7FFFFFFFu);
    mt[k] = mt[(k + 397) % kStateWords] ^ (y >> 1) ^ ((y & 1u) ? 0x9908B0DFu : 0u);
  }
  source->index = 0;
}

uint32_t NextTemperedWord(RandomSource* source) {
  if (source->index >= kStateWords) Regenerate(source);
  uint32_t y = source->mt[source->index++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

double Draw(RandomSource* source) {
  return static_cast<double>(NextTemperedWord(source)) / 4294967296.0;
}

void FillKey(RandomSource* source, char* key, size_t size) {
  for (size_t j = 0; j < size; ++j) {
    key[j] = static_cast<char>(KeyByte(NextTemperedWord(source)));
  }
}

double PrimarySeed() { return Seconds() + Pi(); }

double SecondarySeed(int32_t block_number) {
  return (Seconds() + static_cast<double>(block_number) * Pi()) + Pi() * Pi();
}

}  // namespace encrypter
