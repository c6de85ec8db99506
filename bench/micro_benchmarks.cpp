// Micro-benchmarks of the decoder's three hot steps: chunk expansion (fast
// and plain, MB/s of expanded bytes), row reconstruction (fast and plain,
// MB/s of pixel bytes) and row placement into the BMP writer.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "bench/bench_inputs.h"
#include "bmp/bmp_writer.h"
#include "bmp/byte_sink.h"
#include "decoder/row_reconstruction.h"
#include "decoder/sliding_window.h"

namespace {

using wzxbench::Content;

// A block's worth of rows of a picture as wide as the end-to-end inputs.
constexpr int32_t kWidth = 8000;
constexpr int32_t kHeight = 256;

const std::vector<wzxbench::EncodedChunk>& chunksOf(Content content) {
    static const auto photo = wzxbench::encodeChunks(
        wzxbench::makeBenchPicture(Content::photographLike, kWidth, kHeight, 3));
    static const auto drawing = wzxbench::encodeChunks(
        wzxbench::makeBenchPicture(Content::illustrationLike, kWidth, kHeight, 3));
    return content == Content::photographLike ? photo : drawing;
}

using Expand = wzx::ChunkExpansion (*)(wzx::SlidingWindow&, const uint8_t*, size_t, uint8_t*,
                                       size_t);

// Expands every chunk of the picture in file order through one window, as
// the decoder does.
void expandChunks(benchmark::State& state, Content content, Expand expand) {
    const auto& chunks = chunksOf(content);
    uint64_t expanded = 0, stored = 0;
    for (const auto& c : chunks) {
        expanded += c.expandedBytes;
        stored += c.data.size();
    }
    std::vector<uint8_t> out(static_cast<size_t>(kWidth) * 32 + 10);
    for (auto _ : state) {
        wzx::SlidingWindow window;
        for (const auto& c : chunks) {
            wzx::ChunkExpansion ex =
                expand(window, c.data.data(), c.data.size(), out.data(), out.size());
            benchmark::DoNotOptimize(ex);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * expanded));
    state.counters["stored/expanded"] = static_cast<double>(stored) / static_cast<double>(expanded);
}

void BM_DecompressChunk_Photo(benchmark::State& s) {
    expandChunks(s, Content::photographLike, wzx::decompressChunk);
}
void BM_DecompressChunk_Illustration(benchmark::State& s) {
    expandChunks(s, Content::illustrationLike, wzx::decompressChunk);
}
void BM_DecompressChunkPlain_Photo(benchmark::State& s) {
    expandChunks(s, Content::photographLike, wzx::decompressChunkPlain);
}
void BM_DecompressChunkPlain_Illustration(benchmark::State& s) {
    expandChunks(s, Content::illustrationLike, wzx::decompressChunkPlain);
}
BENCHMARK(BM_DecompressChunk_Photo);
BENCHMARK(BM_DecompressChunk_Illustration);
BENCHMARK(BM_DecompressChunkPlain_Photo);
BENCHMARK(BM_DecompressChunkPlain_Illustration);

using Reconstruct = void (*)(const uint8_t* const[], unsigned, size_t, uint8_t*);

// One row of kWidth pixels, again and again onto the same previous row.
void reconstructRows(benchmark::State& state, Reconstruct reconstruct) {
    const unsigned channels = static_cast<unsigned>(state.range(0));
    std::vector<std::vector<uint8_t>> planes(channels, std::vector<uint8_t>(kWidth));
    uint32_t seed = 1;
    for (auto& plane : planes)
        for (auto& b : plane)
            b = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
    const uint8_t* rows[4] = {};
    for (unsigned c = 0; c < channels; ++c) rows[c] = planes[c].data();
    std::vector<uint8_t> previous(static_cast<size_t>(kWidth) * channels);
    for (auto _ : state) {
        reconstruct(rows, channels, kWidth, previous.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * previous.size()));
}

void baselineInPlace(const uint8_t* const channel[], unsigned channels, size_t width,
                     uint8_t* previous) {
    wzx::reconstructWideRowBaseline(channel, channels, width, previous, previous);
}

void BM_ReconstructRow(benchmark::State& s) {
    reconstructRows(s, wzx::reconstructRow);
}
void BM_ReconstructRowSse2(benchmark::State& s) {
    reconstructRows(s, baselineInPlace);
}
void BM_ReconstructRowPlain(benchmark::State& s) {
    reconstructRows(s, wzx::reconstructRowPlain);
}
BENCHMARK(BM_ReconstructRow)->Arg(3)->Arg(4);
BENCHMARK(BM_ReconstructRowSse2)->Arg(3)->Arg(4);
BENCHMARK(BM_ReconstructRowPlain)->Arg(3)->Arg(4);

// Takes the writer's output and drops it, so that only the placement is
// measured.
class DiscardSink : public wzx::ByteSink {
  public:
    bool writeAt(uint64_t, const uint8_t* src, size_t n) override {
        benchmark::DoNotOptimize(src);
        ++writes;
        bytes += n;
        return true;
    }
    uint64_t writes = 0, bytes = 0;
};

// A width x height image of 3 channels from the benchmark's two arguments,
// and one row of it.
struct RowImage {
    int32_t width, height;
    std::vector<uint8_t> row;
};

RowImage rowImage(const benchmark::State& state) {
    const auto width = static_cast<int32_t>(state.range(0));
    const auto height = static_cast<int32_t>(state.range(1));
    return {width, height, std::vector<uint8_t>(static_cast<size_t>(width) * 3, 0x5A)};
}

// Output bytes of all the images placed.
void countImageBytes(benchmark::State& state, int32_t width, int32_t height) {
    state.SetBytesProcessed(
        static_cast<int64_t>(state.iterations()) * height *
        static_cast<int64_t>(wzx::bmpRowStride(static_cast<uint64_t>(width), 3)));
}

// Places every row of the image one by one.
void BM_PlaceRows(benchmark::State& state) {
    const auto [width, height, row] = rowImage(state);
    DiscardSink sink;
    for (auto _ : state) {
        wzx::BmpWriter writer(sink);
        writer.writeHeaders(width, height, 3);
        for (int32_t y = 0; y < height; ++y) writer.placeRow(y, row.data());
        writer.finish();
    }
    countImageBytes(state, width, height);
    state.counters["writes/image"] =
        static_cast<double>(sink.writes) / static_cast<double>(state.iterations());
}
// The square image's rows, and a one-pixel column of as many output bytes.
BENCHMARK(BM_PlaceRows)->Args({8000, 600})->Args({1, 1200000});

// The same rows claimed in place, 32 at a time as the decoder asks for a
// block, and filled with one copy each.
void BM_StageRows(benchmark::State& state) {
    const auto [width, height, row] = rowImage(state);
    DiscardSink sink;
    for (auto _ : state) {
        wzx::BmpWriter writer(sink);
        writer.writeHeaders(width, height, 3);
        const auto pitch = static_cast<ptrdiff_t>(writer.stride());
        for (int32_t y = 0; y < height;) {
            int64_t granted = 0;
            uint8_t* slot = writer.stageRows(y, 32, granted);
            for (int64_t i = 0; i < granted; ++i, ++y)
                std::memcpy(slot - i * pitch, row.data(), row.size());
        }
        writer.finish();
    }
    countImageBytes(state, width, height);
}
BENCHMARK(BM_StageRows)->Args({8000, 600})->Args({1, 1200000});

}  // namespace

BENCHMARK_MAIN();
