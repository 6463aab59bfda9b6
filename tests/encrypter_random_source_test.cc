// The random source: its own seeding, MT19937 generation and tempering, the
// key-byte mapping, and the clock behind the seeds.
#include <time.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>

#include "encrypter/random_source.h"
#include "gtest/gtest.h"

namespace {

using encrypter::RandomSource;

TEST(RandomSourceTest, SeedingTakesTheIntegerPartAndTheTwisterItsOwnWords) {
  for (double seed : {1000.9, 1000.0}) {
    SCOPED_TRACE(seed);
    RandomSource source;
    encrypter::SeedRandomSource(&source, seed);
    EXPECT_EQ(source.mt[0], 1000u);
    EXPECT_EQ(source.mt[1], 0x9FA59627u);
    EXPECT_EQ(encrypter::NextTemperedWord(&source), 0xA8337654u);
    EXPECT_EQ(encrypter::NextTemperedWord(&source), 0xFEAD999Cu);
    EXPECT_EQ(encrypter::NextTemperedWord(&source), 0xC58CE6C8u);
  }
}

TEST(RandomSourceTest, GeneratesLikeTheStandardTwisterOverItsOwnState) {
  RandomSource source;
  encrypter::SeedRandomSource(&source, -1.5);  // truncated toward zero: -1
  EXPECT_EQ(source.mt[0], 0xFFFFFFFFu);
  // The standard engine's text form is its 624 words; read back, the next
  // call regenerates them, as after a seeding.
  std::stringstream state;
  for (uint32_t word : source.mt) state << word << ' ';
  std::mt19937 reference;
  state >> reference;
  for (int k = 0; k < 1300; ++k) {  // over two regenerations
    ASSERT_EQ(encrypter::NextTemperedWord(&source), reference()) << k;
  }
}

TEST(KeyByteTest, EdgesAndTheDrawFormulaAgree) {
  EXPECT_EQ(encrypter::KeyByte(0), 2);
  EXPECT_EQ(encrypter::KeyByte(0xFFFFFFFFu), 0);
  // The key byte of a draw r is floor(r * 255) + 2 modulo 256, r = word / 2^32.
  RandomSource source;
  encrypter::SeedRandomSource(&source, 123456.0);
  RandomSource copy = source;
  for (int k = 0; k < 100000; ++k) {
    uint32_t word = encrypter::NextTemperedWord(&source);
    double r = encrypter::Draw(&copy);
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
    int expected = static_cast<int>(std::fmod(std::floor(r * 255.0) + 2.0, 256.0));
    ASSERT_EQ(encrypter::KeyByte(word), expected) << word;
    ASSERT_NE(encrypter::KeyByte(word), 1);
  }
  // Words at the boundaries where floor(r * 255) steps.
  for (uint64_t step = 1; step < 255; ++step) {
    uint32_t boundary = static_cast<uint32_t>((step << 32) / 255);
    for (uint32_t word : {boundary, boundary + 1}) {
      double r = word / 4294967296.0;
      int expected = static_cast<int>(std::fmod(std::floor(r * 255.0) + 2.0, 256.0));
      EXPECT_EQ(encrypter::KeyByte(word), expected) << word;
    }
  }
}

TEST(SecondsTest, CountsSecondsWithSubSecondResolution) {
  double before = encrypter::Seconds();
  struct timespec pause = {0, 20000000};  // 20 ms
  nanosleep(&pause, nullptr);
  double elapsed = encrypter::Seconds() - before;
  EXPECT_GE(elapsed, 0.019);
  EXPECT_LT(elapsed, 1.0);
}

}  // namespace
