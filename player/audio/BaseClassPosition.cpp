#include "player/audio/BaseClassPosition.h"

#include <cmath>

using Microsoft::WRL::ComPtr;

namespace qvr::audio {
namespace {

constexpr double kUnitsPerSecond = 10000000.0;

LONGLONG ToUnits(REFTIME seconds) { return static_cast<LONGLONG>(std::llround(seconds * kUnitsPerSecond)); }
REFTIME ToSeconds(LONGLONG units) { return static_cast<REFTIME>(units) / kUnitsPerSecond; }

}  // namespace

TBCPosPassThru::TBCPosPassThru(const wchar_t* objectName, IUnknown* outer, HRESULT* hr, IPin* pin)
    : TBCUnknown(objectName, outer), FPin(pin) {
  if (!pin && hr) *hr = E_POINTER;
}

HRESULT TBCPosPassThru::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IMediaSeeking)) return GetInterface(static_cast<IMediaSeeking*>(this), object);
  if (IsEqualIID(iid, IID_IMediaPosition) || IsEqualIID(iid, IID_IDispatch))
    return GetInterface(static_cast<IMediaPosition*>(this), object);
  return TBCUnknown::NonDelegatingQueryInterface(iid, object);
}

HRESULT TBCPosPassThru::PeerSeeking(ComPtr<IMediaSeeking>& seeking) {
  ComPtr<IPin> peer;
  if (FAILED(FPin->ConnectedTo(&peer)) || !peer) return VFW_E_NOT_CONNECTED;
  return SUCCEEDED(peer.As(&seeking)) ? S_OK : E_NOTIMPL;
}

HRESULT TBCPosPassThru::PeerPosition(ComPtr<IMediaPosition>& position) {
  ComPtr<IPin> peer;
  if (FAILED(FPin->ConnectedTo(&peer)) || !peer) return VFW_E_NOT_CONNECTED;
  return SUCCEEDED(peer.As(&position)) ? S_OK : E_NOTIMPL;
}

// Every IMediaSeeking call: the peer's answer, or why there is none.
#define TBC_PASS_SEEKING(call)            \
  ComPtr<IMediaSeeking> seeking;          \
  const HRESULT hr = PeerSeeking(seeking); \
  return FAILED(hr) ? hr : seeking->call

HRESULT TBCPosPassThru::GetCapabilities(DWORD* capabilities) { TBC_PASS_SEEKING(GetCapabilities(capabilities)); }
HRESULT TBCPosPassThru::CheckCapabilities(DWORD* capabilities) { TBC_PASS_SEEKING(CheckCapabilities(capabilities)); }
HRESULT TBCPosPassThru::IsFormatSupported(const GUID* format) { TBC_PASS_SEEKING(IsFormatSupported(format)); }
HRESULT TBCPosPassThru::QueryPreferredFormat(GUID* format) { TBC_PASS_SEEKING(QueryPreferredFormat(format)); }
HRESULT TBCPosPassThru::GetTimeFormat(GUID* format) { TBC_PASS_SEEKING(GetTimeFormat(format)); }
HRESULT TBCPosPassThru::IsUsingTimeFormat(const GUID* format) { TBC_PASS_SEEKING(IsUsingTimeFormat(format)); }
HRESULT TBCPosPassThru::SetTimeFormat(const GUID* format) { TBC_PASS_SEEKING(SetTimeFormat(format)); }
HRESULT TBCPosPassThru::GetDuration(LONGLONG* duration) { TBC_PASS_SEEKING(GetDuration(duration)); }
HRESULT TBCPosPassThru::GetStopPosition(LONGLONG* stop) { TBC_PASS_SEEKING(GetStopPosition(stop)); }
HRESULT TBCPosPassThru::GetCurrentPosition(LONGLONG* current) { TBC_PASS_SEEKING(GetCurrentPosition(current)); }
HRESULT TBCPosPassThru::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                          const GUID* sourceFormat) {
  TBC_PASS_SEEKING(ConvertTimeFormat(target, targetFormat, source, sourceFormat));
}
HRESULT TBCPosPassThru::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
  TBC_PASS_SEEKING(SetPositions(current, currentFlags, stop, stopFlags));
}
HRESULT TBCPosPassThru::GetPositions(LONGLONG* current, LONGLONG* stop) { TBC_PASS_SEEKING(GetPositions(current, stop)); }
HRESULT TBCPosPassThru::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
  TBC_PASS_SEEKING(GetAvailable(earliest, latest));
}
HRESULT TBCPosPassThru::SetRate(double rate) { TBC_PASS_SEEKING(SetRate(rate)); }
HRESULT TBCPosPassThru::GetRate(double* rate) { TBC_PASS_SEEKING(GetRate(rate)); }
HRESULT TBCPosPassThru::GetPreroll(LONGLONG* preroll) { TBC_PASS_SEEKING(GetPreroll(preroll)); }

#undef TBC_PASS_SEEKING

HRESULT TBCPosPassThru::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}
HRESULT TBCPosPassThru::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}
HRESULT TBCPosPassThru::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT TBCPosPassThru::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) { return E_NOTIMPL; }

// IMediaPosition: the peer's own, else its IMediaSeeking in seconds.
#define TBC_PASS_POSITION(call)                                  \
  ComPtr<IMediaPosition> position;                               \
  if (SUCCEEDED(PeerPosition(position))) return position->call; \
  ComPtr<IMediaSeeking> seeking;                                 \
  if (const HRESULT hr = PeerSeeking(seeking); FAILED(hr)) return hr

HRESULT TBCPosPassThru::get_Duration(REFTIME* length) {
  if (!length) return E_POINTER;
  TBC_PASS_POSITION(get_Duration(length));
  LONGLONG units = 0;
  const HRESULT hr = seeking->GetDuration(&units);
  if (SUCCEEDED(hr)) *length = ToSeconds(units);
  return hr;
}

HRESULT TBCPosPassThru::put_CurrentPosition(REFTIME time) {
  TBC_PASS_POSITION(put_CurrentPosition(time));
  LONGLONG units = ToUnits(time);
  return seeking->SetPositions(&units, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

HRESULT TBCPosPassThru::get_CurrentPosition(REFTIME* time) {
  if (!time) return E_POINTER;
  TBC_PASS_POSITION(get_CurrentPosition(time));
  LONGLONG units = 0;
  const HRESULT hr = seeking->GetCurrentPosition(&units);
  if (SUCCEEDED(hr)) *time = ToSeconds(units);
  return hr;
}

HRESULT TBCPosPassThru::get_StopTime(REFTIME* time) {
  if (!time) return E_POINTER;
  TBC_PASS_POSITION(get_StopTime(time));
  LONGLONG units = 0;
  const HRESULT hr = seeking->GetStopPosition(&units);
  if (SUCCEEDED(hr)) *time = ToSeconds(units);
  return hr;
}

HRESULT TBCPosPassThru::put_StopTime(REFTIME time) {
  TBC_PASS_POSITION(put_StopTime(time));
  LONGLONG units = ToUnits(time);
  return seeking->SetPositions(nullptr, AM_SEEKING_NoPositioning, &units, AM_SEEKING_AbsolutePositioning);
}

HRESULT TBCPosPassThru::get_PrerollTime(REFTIME* time) {
  if (!time) return E_POINTER;
  TBC_PASS_POSITION(get_PrerollTime(time));
  LONGLONG units = 0;
  const HRESULT hr = seeking->GetPreroll(&units);
  if (SUCCEEDED(hr)) *time = ToSeconds(units);
  return hr;
}

HRESULT TBCPosPassThru::put_PrerollTime(REFTIME time) {
  TBC_PASS_POSITION(put_PrerollTime(time));
  return E_NOTIMPL;
}

HRESULT TBCPosPassThru::put_Rate(double rate) {
  TBC_PASS_POSITION(put_Rate(rate));
  return seeking->SetRate(rate);
}

HRESULT TBCPosPassThru::get_Rate(double* rate) {
  if (!rate) return E_POINTER;
  TBC_PASS_POSITION(get_Rate(rate));
  return seeking->GetRate(rate);
}

HRESULT TBCPosPassThru::CanSeekForward(LONG* can) {
  if (!can) return E_POINTER;
  TBC_PASS_POSITION(CanSeekForward(can));
  DWORD capabilities = AM_SEEKING_CanSeekForwards;
  *can = seeking->CheckCapabilities(&capabilities) == S_OK ? OATRUE : OAFALSE;
  return S_OK;
}

HRESULT TBCPosPassThru::CanSeekBackward(LONG* can) {
  if (!can) return E_POINTER;
  TBC_PASS_POSITION(CanSeekBackward(can));
  DWORD capabilities = AM_SEEKING_CanSeekBackwards;
  *can = seeking->CheckCapabilities(&capabilities) == S_OK ? OATRUE : OAFALSE;
  return S_OK;
}

#undef TBC_PASS_POSITION

}  // namespace qvr::audio
