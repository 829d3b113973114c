// The graph builder: connects a source filter's outputs pin by pin with direct connections
// only, never the system's intelligent connect. Each output pin is offered to the filters
// already in the graph, then to the private codec bank, then to the system's filters in merit
// order with the blacklist applied; the program's audio filter goes in front of the first audio
// renderer. UI thread only.
#pragma once

#include <wrl/client.h>

#include <functional>
#include <string>

#include "common/win/DirectShow.h"
#include "player/engine/AudioFilterFactory.h"
#include "player/engine/UFilterBank.h"

namespace qvr::engine {

using Microsoft::WRL::ComPtr;

// Called before a video pin is offered to anything, so that the caller can put its video
// renderer into the graph only for items that have video; it may be called once per video pin.
using TOnVideoPin = std::function<void()>;

// Connects every output pin of the filter (connected or not), depth first, recursively.
// onVideoPin (may be empty) runs before each pin that offers a video type, or no type at all
// (which may be video), is connected.
void RenderOutputPins(TFilterBank& bank, IGraphBuilder* graph, IBaseFilter* filter,
                      IAudioFilterFactory* audioFilters = nullptr, const TOnVideoPin& onVideoPin = {});
// True when the pin offers a video type among its first preferred types, or no type at all.
bool MayCarryVideo(IPin* pin);

bool ConnectToGraphOrBank(TFilterBank& bank, IGraphBuilder* graph, IPin* pin, ComPtr<IBaseFilter>& next);
bool ConnectToSystemFilter(TFilterBank& bank, IGraphBuilder* graph, IPin* pin, ComPtr<IBaseFilter>& next,
                           IAudioFilterFactory* audioFilters = nullptr);
enum class TConnectOutcome { Connected, Refused, Faulted };
// Direct connections to the filter's free input pins in turn, the first success ending the
// search; a fault in either filter ends it too.
TConnectOutcome ConnectPinToFilterGuarded(IGraphBuilder* graph, IPin* pin, IBaseFilter* filter);
// True when the pin was connected directly to a free input pin of the filter.
bool ConnectPinToFilter(IGraphBuilder* graph, IPin* pin, IBaseFilter* filter);

bool FindFilterByClassId(IGraphBuilder* graph, const GUID& clsid, ComPtr<IBaseFilter>* filter = nullptr);
// On failure the filter reference is released.
bool AddFilterToGraph(IGraphBuilder* graph, ComPtr<IBaseFilter>& filter, const std::string& name);
// The reference is released either way.
bool RemoveFilterFromGraph(IGraphBuilder* graph, ComPtr<IBaseFilter>& filter);
// A filter that faulted: taken out of the graph under the guard, and its reference dropped
// without a Release, so that none of its code runs again.
void AbandonFilter(IGraphBuilder* graph, ComPtr<IBaseFilter>& filter);
// ordinal 1 = the first pin of that direction.
bool GetPin(IBaseFilter* filter, PIN_DIRECTION direction, int ordinal, ComPtr<IPin>& pin);
void CountPins(IBaseFilter* filter, int& inputs, int& outputs);

bool IsRenderer(IBaseFilter* filter, const GUID& majorType);
bool IsAudioRenderer(IBaseFilter* filter);
bool IsVideoRenderer(IBaseFilter* filter);
// The first filter with inputs and no outputs whose first input pin is connected with that
// major type.
bool FindRenderer(IGraphBuilder* graph, const GUID& majorType, ComPtr<IBaseFilter>* filter = nullptr);

// System registration only; refuses GUID_NULL. A class that faults counts as missing.
bool CreateFilterByClassId(const GUID& clsid, ComPtr<IBaseFilter>& filter);
// IFileSourceFilter::Load. A source that faults is abandoned: `filter` comes back empty.
bool LoadSource(ComPtr<IBaseFilter>& filter, const std::string& fileName);
// Create, load, add under filterName; released on any failure.
bool CreateSourceFilter(IGraphBuilder* graph, const GUID& clsid, const std::string& fileName,
                        const std::string& filterName, ComPtr<IBaseFilter>& filter);
bool AddSystemSourceFilter(IGraphBuilder* graph, const std::string& fileName, const std::string& filterName,
                           ComPtr<IBaseFilter>& filter);

// Running object table: item moniker "!" + "FilterGraph <pointer> pid <pid>", kept alive.
HRESULT RegisterGraph(IUnknown* graph, DWORD& cookie);
HRESULT RevokeGraph(DWORD cookie);

// Disconnects and removes every filter, then releases the graph.
void DismantleGraph(ComPtr<IGraphBuilder>& graph);

}  // namespace qvr::engine
