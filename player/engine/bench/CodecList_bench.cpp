// Parsing the codec list: our splitter against a plain std::getline reference on the same text.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "player/engine/core/CodecList.h"

namespace {

std::string MakeList(int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) text += "{171252A0-8820-4AFE-9DF8-5C92B2D66B04}=LAV Splitter;LAV\\LAVSplitter.ax\r\n";
  return text;
}

void BM_ParseCodecList(benchmark::State& state) {
  const std::string text = MakeList(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(qvr::engine::ParseCodecList(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_ReferenceGetline(benchmark::State& state) {
  const std::string text = MakeList(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::istringstream in(text);
    std::string line;
    size_t fields = 0;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const auto eq = line.find('=');
      fields += eq != std::string::npos;
    }
    benchmark::DoNotOptimize(fields);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

BENCHMARK(BM_ParseCodecList)->Arg(15)->Arg(1000);
BENCHMARK(BM_ReferenceGetline)->Arg(15)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
