// Micro-benchmarks: the XOR of one block, the derivation of a 16384-byte key,
// and record lookups on a container of full blocks.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>

#include "encrypter/random_source.h"
#include "recordstore/channels.h"
#include "recordstore/record_format.h"
#include "recordstore/records.h"
#include "recordstore/xor_bytes.h"

namespace {

using recordstore::kBlockSize;

constexpr int kChannel = 1;
constexpr int kContainerBlocks = 1024;  // 16 MiB of values

std::string RandomBlock(uint32_t seed) {
  std::mt19937 generator(seed);
  std::string block(kBlockSize, '\0');
  for (char& byte : block) byte = static_cast<char>(generator());
  return block;
}

std::string BlockName(int number) {
  std::string name = recordstore::kBlockRecordPrefix;
  name += recordstore::DecimalText(number);
  return name;
}

void XorBlock(benchmark::State& state) {
  std::string data = RandomBlock(1);
  const std::string key = RandomBlock(2);
  for (auto _ : state) {
    recordstore::XorBytes(data.data(), data.data(), key.data(), data.size());
    benchmark::DoNotOptimize(data.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kBlockSize);
}
BENCHMARK(XorBlock);

void DeriveKey(benchmark::State& state) {
  std::string key(kBlockSize, '\0');
  encrypter::RandomSource source;
  for (auto _ : state) {
    encrypter::SeedRandomSource(&source, 1000.9);
    encrypter::FillKey(&source, key.data(), key.size());
    benchmark::DoNotOptimize(key.data());
  }
  state.SetBytesProcessed(state.iterations() * kBlockSize);
}
BENCHMARK(DeriveKey);

// A container of kContainerBlocks full block records B1, B2, ..., made once
// in /dev/shm (or $TMPDIR, or /tmp) and removed at exit.
const std::string& ContainerName() {
  static const std::string name = [] {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/vernam-bench-XXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd < 0) std::abort();
    close(fd);
    recordstore::OpenChannel(kChannel, pattern, recordstore::OpenPolicy::kWriteWithTruncation);
    const std::string block = RandomBlock(3);
    for (int number = 1; number <= kContainerBlocks; ++number) {
      recordstore::WriteRecord(kChannel, BlockName(number), block);
    }
    if (!recordstore::CloseAllChannels()) std::abort();
    return pattern;
  }();
  return name;
}

// Every record looked up in stored order, as the decrypter restores blocks.
void LookupInStoredOrder(benchmark::State& state) {
  std::string names[kContainerBlocks + 1];
  for (int number = 1; number <= kContainerBlocks; ++number) names[number] = BlockName(number);
  for (auto _ : state) {
    recordstore::OpenChannel(kChannel, ContainerName(), recordstore::OpenPolicy::kReadOnly);
    for (int number = 1; number <= kContainerBlocks; ++number) {
      recordstore::RecordValue value = recordstore::ReadRecord(kChannel, names[number]);
      benchmark::DoNotOptimize(value.bytes.data());
    }
    recordstore::CloseAllChannels();
  }
  state.SetBytesProcessed(state.iterations() * kContainerBlocks * (kBlockSize + 10));
}
BENCHMARK(LookupInStoredOrder)->Unit(benchmark::kMillisecond);

// The last record looked up from the start of the container, as the
// decrypter finds its final block: every record before it is passed over.
void LookupLastFromStart(benchmark::State& state) {
  const std::string name = BlockName(kContainerBlocks);
  for (auto _ : state) {
    recordstore::OpenChannel(kChannel, ContainerName(), recordstore::OpenPolicy::kReadOnly);
    recordstore::RecordValue value = recordstore::ReadRecord(kChannel, name);
    benchmark::DoNotOptimize(value.bytes.data());
    recordstore::CloseAllChannels();
  }
  state.counters["records"] = kContainerBlocks;
}
BENCHMARK(LookupLastFromStart)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::remove(ContainerName().c_str());
  return 0;
}
