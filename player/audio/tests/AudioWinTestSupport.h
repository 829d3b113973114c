// Shared by the audio filter's Windows tests: a fixture that checks nothing leaks, the filter as
// the engine makes it, and a filter graph to connect it with the peers in.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include "common/testing/WinTestSupport.h"
#include "common/win/DirectShow.h"
#include "player/audio/BaseClass.h"
#include "player/audio/MWAudioFilter.h"
#include "player/audio/MWAudioFilterFactory.h"
#include "player/audio/tests/AudioTestPeers.h"

namespace qvr::audiotest {

// Every framework object and every peer made during a test is gone at its end.
class AudioTest : public qvr::testing::ComTest {
 protected:
  void SetUp() override {
    ComTest::SetUp();
    FObjects = audio::TBCBaseObject::ObjectCount();
    FPeers = TPeerObject::Alive();
  }
  void TearDown() override {
    EXPECT_EQ(FObjects, audio::TBCBaseObject::ObjectCount()) << "framework objects leaked";
    EXPECT_EQ(FPeers, TPeerObject::Alive()) << "peer objects leaked";
  }


 public:
  static ComPtr<IBaseFilter> NewFilter();
  static ComPtr<IMWAudioFilterInterface> ControlOf(IBaseFilter* filter);
  // Pin `index` in the filter's enumeration order.
  static ComPtr<IPin> PinAt(IBaseFilter* filter, int index);

 private:
  long FObjects = 0;
  long FPeers = 0;
};

inline ComPtr<IBaseFilter> AudioTest::NewFilter() {
  static audio::TMWAudioFilterFactory factory;
  ComPtr<IBaseFilter> filter;
  EXPECT_HRESULT_SUCCEEDED(factory.CreateAudioFilter(&filter));
  return filter;
}

inline ComPtr<IMWAudioFilterInterface> AudioTest::ControlOf(IBaseFilter* filter) {
  ComPtr<IMWAudioFilterInterface> control;
  filter->QueryInterface(__uuidof(IMWAudioFilterInterface), reinterpret_cast<void**>(control.GetAddressOf()));
  return control;
}

inline ComPtr<IPin> AudioTest::PinAt(IBaseFilter* filter, int index) {
  ComPtr<IEnumPins> pins;
  ComPtr<IPin> pin;
  if (FAILED(filter->EnumPins(&pins))) return pin;
  if (index > 0) pins->Skip(static_cast<ULONG>(index));
  pins->Next(1, &pin, nullptr);
  return pin;
}

// A filter graph holding the filters of one test.
class TGraph {
 public:
  TGraph() {
    EXPECT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&Graph)));
    Graph.As(&Control);
  }
  TGraph(const TGraph&) = delete;
  TGraph& operator=(const TGraph&) = delete;
  ~TGraph() {
    if (Control) Control->Stop();
  }
  void Add(IBaseFilter* filter, const wchar_t* name) { EXPECT_HRESULT_SUCCEEDED(Graph->AddFilter(filter, name)); }
  HRESULT Connect(IPin* out, IPin* in) { return Graph->ConnectDirect(out, in, nullptr); }
  // Waits for the state change to complete.
  HRESULT Run() { return Settle(Control->Run()); }
  HRESULT Pause() { return Settle(Control->Pause()); }
  HRESULT Stop() { return Settle(Control->Stop()); }

  ComPtr<IGraphBuilder> Graph;
  ComPtr<IMediaControl> Control;

 private:
  HRESULT Settle(HRESULT hr) {
    OAFilterState state;
    if (SUCCEEDED(hr)) Control->GetState(2000, &state);
    return hr;
  }
};

inline const TTestType kStereo = WaveType(2, 44100, 16);

// Source (one pin, one second of indexed PCM) -> "EQ Audio" -> sink, in a graph.
struct TChain {
  explicit TChain(const TTestType& type = kStereo, const CLSID& sinkClass = GUID_NULL, long allocatorCap = 0,
                  std::vector<uint8_t> pcm = {}) {
    source = Adopt(new TTestSource());
    if (pcm.empty()) pcm = IndexedPcm16(type.Wave().nChannels, static_cast<size_t>(type.Rate()));
    out = source->AddPin(type, std::move(pcm));
    sink = Adopt(new TTestSink(sinkClass));
    sink->AllocatorCap = allocatorCap;
    filter = AudioTest::NewFilter();
    control = AudioTest::ControlOf(filter.Get());
    graph.Add(source.Get(), L"Source");
    graph.Add(filter.Get(), L"EQ Audio");
    graph.Add(sink.Get(), L"Sink");
    input = AudioTest::PinAt(filter.Get(), 0);
    output = AudioTest::PinAt(filter.Get(), 1);
  }
  HRESULT ConnectInput() { return graph.Connect(out, input.Get()); }
  HRESULT ConnectOutput() { return graph.Connect(output.Get(), sink->Pin()); }
  void ConnectAll() {
    ASSERT_EQ(S_OK, ConnectInput());
    ASSERT_EQ(S_OK, ConnectOutput());
  }

  TGraph graph;
  ComPtr<TTestSource> source;
  ComPtr<TTestSink> sink;
  ComPtr<IBaseFilter> filter;
  ComPtr<IMWAudioFilterInterface> control;
  ComPtr<IPin> input, output;
  TTestSourcePin* out = nullptr;
};

}  // namespace qvr::audiotest
