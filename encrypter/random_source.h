// The key material's random source: a seconds clock, pi, and a Mersenne
// Twister (MT19937 generation and tempering) with its own seeding, plus the
// mapping of one draw to one key byte.
#ifndef ENCRYPTER_RANDOM_SOURCE_H_
#define ENCRYPTER_RANDOM_SOURCE_H_

#include <cstddef>
#include <cstdint>

namespace encrypter {

constexpr int kStateWords = 624;

// Generator state: 624 words and the index of the next word to temper. An
// index of kStateWords means the state is regenerated before the next draw.
struct RandomSource {
  uint32_t mt[kStateWords] = {};
  int index = kStateWords;
};

// Seconds since an arbitrary fixed point, with sub-second resolution. The
// first call decides the clock for the whole process: the high-resolution
// counter times the reciprocal of its frequency (computed once), or, when
// there is no such counter, the millisecond ticks times 0.001.
double Seconds();

// Pi rounded to the nearest double.
double Pi();

// Replaces the whole state: mt[0] is the low 32 bits of the seed truncated
// toward zero (a seed that is not a number, or beyond the signed 64-bit
// range, counts as 0), each further word is the one before times 1664525
// plus 1013904223, and the next draw regenerates the state.
void SeedRandomSource(RandomSource* source, double seed);

// Returns the next tempered 32-bit word, regenerating the state in place
// first when it is used up.
uint32_t NextTemperedWord(RandomSource* source);

// Returns the next draw r = word / 2^32, with 0 <= r < 1.
double Draw(RandomSource* source);

// The key byte of a tempered word: floor(word / 2^32 * 255) + 2, modulo
// 256. Never 1.
inline uint8_t KeyByte(uint32_t tempered_word) {
  return static_cast<uint8_t>(((static_cast<uint64_t>(tempered_word) * 255) >> 32) + 2);
}

// Fills key[0..size) with one key byte per draw.
void FillKey(RandomSource* source, char* key, size_t size);

// The seed of the primary key: Seconds() + Pi().
double PrimarySeed();
// The seed of the secondary key of block `block_number`:
// (Seconds() + block_number * Pi()) + Pi() * Pi().
double SecondarySeed(int32_t block_number);

}  // namespace encrypter

#endif  // ENCRYPTER_RANDOM_SOURCE_H_
