// Throughput and allocations of the standard codec on the messages the
// plugin sends most (events) and on bulk payloads (byte and number lists).
//
// Every codec benchmark times a memcpy of the same number of bytes in the
// same run and reports `vs_memcpy`: codec throughput divided by memcpy
// throughput (targets: at least 0.5 for byte and typed lists). `allocs` is
// the number of operator new calls per operation; encoding an event map
// should allocate only the output vector (its object and its buffer: 2).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "host/byte_streams.h"
#include "host/standard_method_codec.h"

namespace {
std::atomic<long> allocation_count{0};
}  // namespace

// These operators pair malloc with free; GCC cannot tell that the operator
// new it checks each free against is this malloc-based one.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(size_t size) {
  allocation_count.fetch_add(1, std::memory_order_relaxed);
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, size_t) noexcept { std::free(memory); }

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using Clock = std::chrono::steady_clock;

const flutter::StandardMethodCodec& Codec() { return flutter::StandardMethodCodec::GetInstance(); }

EncodableValue PositionEvent() {
  return EncodableValue(EncodableMap{{EncodableValue("event"), EncodableValue("position")},
                                     {EncodableValue("value"), EncodableValue(int64_t{123456})}});
}

EncodableValue Track(const std::string& id, const char* language, const char* label, bool audio) {
  EncodableMap track{{EncodableValue("id"), EncodableValue(id)},
                     {EncodableValue("language"), EncodableValue(language)},
                     {EncodableValue("label"), EncodableValue(label)}};
  if (audio) {
    track[EncodableValue("format")] = EncodableValue("AAC");
    track[EncodableValue("bitrate")] = EncodableValue(int64_t{128000});
    track[EncodableValue("channelCount")] = EncodableValue(int32_t{2});
    track[EncodableValue("sampleRate")] = EncodableValue(int32_t{48000});
  }
  return EncodableValue(std::move(track));
}

EncodableValue MediaInfoEvent() {
  return EncodableValue(EncodableMap{
      {EncodableValue("event"), EncodableValue("mediaInfo")},
      {EncodableValue("duration"), EncodableValue(int64_t{5400000})},
      {EncodableValue("source"), EncodableValue("https://media.example.org/films/feature-1080p.mp4")},
      {EncodableValue("audioTracks"), EncodableValue(EncodableList{Track("0.0", "en", "English", true),
                                                                   Track("0.1", "de", "Deutsch", true),
                                                                   Track("0.2", "fr-CA", "Commentary", true)})},
      {EncodableValue("subtitleTracks"),
       EncodableValue(EncodableList{Track("2.0", "en", "English SDH", false), Track("2.1", "es", "Espanol", false)})},
  });
}

EncodableValue ByteList() {
  std::vector<uint8_t> bytes(1 << 20);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31);
  return EncodableValue(std::move(bytes));
}

EncodableValue Int64List() {
  std::vector<int64_t> numbers(100000);
  for (size_t i = 0; i < numbers.size(); ++i) numbers[i] = static_cast<int64_t>(i) * 1000003;
  return EncodableValue(std::move(numbers));
}

// Seconds per memcpy of `bytes`, measured once per size in this run.
double MemcpySeconds(size_t bytes) {
  static std::map<size_t, double> measured;
  if (auto found = measured.find(bytes); found != measured.end()) return found->second;
  std::vector<uint8_t> source(bytes, 0x5a);
  std::vector<uint8_t> destination(bytes);
  std::memcpy(destination.data(), source.data(), bytes);
  long copies = 0;
  const auto start = Clock::now();
  std::chrono::duration<double> elapsed{};
  do {
    std::memcpy(destination.data(), source.data(), bytes);
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
    ++copies;
    elapsed = Clock::now() - start;
  } while (elapsed.count() < 0.2);
  return measured[bytes] = elapsed.count() / static_cast<double>(copies);
}

void Report(benchmark::State& state, size_t bytes, Clock::duration elapsed, long allocations) {
  const double iterations = static_cast<double>(state.iterations());
  const double seconds_per_op = std::chrono::duration<double>(elapsed).count() / iterations;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["allocs"] = static_cast<double>(allocations) / iterations;
  state.counters["vs_memcpy"] = MemcpySeconds(bytes) / seconds_per_op;
}

void EncodeEvent(benchmark::State& state, const EncodableValue& value) {
  const size_t bytes = Codec().EncodeSuccessEnvelope(&value)->size();
  const long allocations_before = allocation_count.load();
  const auto start = Clock::now();
  for (auto _ : state) {
    auto envelope = Codec().EncodeSuccessEnvelope(&value);
    benchmark::DoNotOptimize(envelope->data());
  }
  const auto elapsed = Clock::now() - start;
  Report(state, bytes, elapsed, allocation_count.load() - allocations_before);
}

void DecodeEvent(benchmark::State& state, const EncodableValue& value) {
  const auto envelope = Codec().EncodeSuccessEnvelope(&value);
  // Decoding an answer envelope: the path a reply from Dart takes.
  struct Sink : flutter::MethodResult<EncodableValue> {
    void SuccessInternal(const EncodableValue* result) override { benchmark::DoNotOptimize(result); }
    void ErrorInternal(const std::string&, const std::string&, const EncodableValue*) override {}
    void NotImplementedInternal() override {}
  } sink;
  const long allocations_before = allocation_count.load();
  const auto start = Clock::now();
  for (auto _ : state) {
    benchmark::DoNotOptimize(Codec().DecodeResponseEnvelope(envelope->data(), envelope->size(), &sink));
  }
  const auto elapsed = Clock::now() - start;
  Report(state, envelope->size(), elapsed, allocation_count.load() - allocations_before);
}

void BM_EncodePositionEvent(benchmark::State& state) { EncodeEvent(state, PositionEvent()); }
void BM_DecodePositionEvent(benchmark::State& state) { DecodeEvent(state, PositionEvent()); }
void BM_EncodeMediaInfoEvent(benchmark::State& state) { EncodeEvent(state, MediaInfoEvent()); }
void BM_DecodeMediaInfoEvent(benchmark::State& state) { DecodeEvent(state, MediaInfoEvent()); }
void BM_EncodeByteList1MiB(benchmark::State& state) { EncodeEvent(state, ByteList()); }
void BM_DecodeByteList1MiB(benchmark::State& state) { DecodeEvent(state, ByteList()); }
void BM_EncodeInt64List100k(benchmark::State& state) { EncodeEvent(state, Int64List()); }
void BM_DecodeInt64List100k(benchmark::State& state) { DecodeEvent(state, Int64List()); }

// The reference itself, printed beside the codec figures.
void BM_Memcpy(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0));
  std::vector<uint8_t> source(bytes, 0x5a);
  std::vector<uint8_t> destination(bytes);
  for (auto _ : state) {
    std::memcpy(destination.data(), source.data(), bytes);
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

BENCHMARK(BM_EncodePositionEvent);
BENCHMARK(BM_DecodePositionEvent);
BENCHMARK(BM_EncodeMediaInfoEvent);
BENCHMARK(BM_DecodeMediaInfoEvent);
BENCHMARK(BM_EncodeByteList1MiB);
BENCHMARK(BM_DecodeByteList1MiB);
BENCHMARK(BM_EncodeInt64List100k);
BENCHMARK(BM_DecodeInt64List100k);
BENCHMARK(BM_Memcpy)->Arg(1 << 20)->Arg(800000 + 16);

}  // namespace

BENCHMARK_MAIN();
