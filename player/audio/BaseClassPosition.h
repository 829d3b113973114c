// BaseClass: TBCPosPassThru, the IMediaSeeking and IMediaPosition of an output pin, answered by
// the upstream filter connected to an input pin of the same filter. An aggregated object: its
// outer unknown is the output pin, so its references are the filter's.
//
// IMediaPosition goes to the peer's IMediaPosition when it has one, else it is translated onto
// the peer's IMediaSeeking (seconds as REFTIME against 100-ns media time). IDispatch has no type
// information.
#pragma once

#include <wrl/client.h>

#include "common/win/DirectShow.h"
#include "player/audio/BaseClassObject.h"

namespace qvr::audio {

class TBCPosPassThru : public TBCUnknown, public IMediaSeeking, public IMediaPosition {
 public:
  // `pin` (an input pin of the same filter, not counted) is the one whose peer answers.
  TBCPosPassThru(const wchar_t* objectName, IUnknown* outer, HRESULT* hr, IPin* pin);

  TBC_DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // IMediaSeeking
  HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* capabilities) override;
  HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* capabilities) override;
  HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* format) override;
  HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* format) override;
  HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) override;
  HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* current) override;
  HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                              const GUID* sourceFormat) override;
  HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                         DWORD stopFlags) override;
  HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* current, LONGLONG* stop) override;
  HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
  HRESULT STDMETHODCALLTYPE SetRate(double rate) override;
  HRESULT STDMETHODCALLTYPE GetRate(double* rate) override;
  HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* preroll) override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argument) override;
  // IMediaPosition
  HRESULT STDMETHODCALLTYPE get_Duration(REFTIME* length) override;
  HRESULT STDMETHODCALLTYPE put_CurrentPosition(REFTIME time) override;
  HRESULT STDMETHODCALLTYPE get_CurrentPosition(REFTIME* time) override;
  HRESULT STDMETHODCALLTYPE get_StopTime(REFTIME* time) override;
  HRESULT STDMETHODCALLTYPE put_StopTime(REFTIME time) override;
  HRESULT STDMETHODCALLTYPE get_PrerollTime(REFTIME* time) override;
  HRESULT STDMETHODCALLTYPE put_PrerollTime(REFTIME time) override;
  HRESULT STDMETHODCALLTYPE put_Rate(double rate) override;
  HRESULT STDMETHODCALLTYPE get_Rate(double* rate) override;
  HRESULT STDMETHODCALLTYPE CanSeekForward(LONG* can) override;
  HRESULT STDMETHODCALLTYPE CanSeekBackward(LONG* can) override;

 private:
  // VFW_E_NOT_CONNECTED without a peer, E_NOTIMPL when the peer has no such interface.
  HRESULT PeerSeeking(Microsoft::WRL::ComPtr<IMediaSeeking>& seeking);
  HRESULT PeerPosition(Microsoft::WRL::ComPtr<IMediaPosition>& position);

  IPin* FPin;
};

}  // namespace qvr::audio
