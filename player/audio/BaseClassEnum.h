// BaseClass: the pin and media-type enumerators. Each holds a reference on the filter (through
// the pin for media types) and notices when the list it walks changed since it was made or last
// reset: it then answers VFW_E_ENUM_OUT_OF_SYNC until Reset.
#pragma once

#include "common/win/DirectShow.h"
#include "player/audio/BaseClassObject.h"

namespace qvr::audio {

class TBCBaseFilter;
class TBCBasePin;

class TBCEnumPins : public TBCUnknown, public IEnumPins {
 public:
  // A copy of `other`'s position when given.
  TBCEnumPins(TBCBaseFilter* filter, const TBCEnumPins* other);
  ~TBCEnumPins() override;

  TBC_DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumPins** clone) override;

 private:
  bool OutOfSync() const;

  TBCBaseFilter* FFilter;  // counted
  int FPosition = 0;
  int FPinCount = 0;
  LONG FVersion = 0;
};

class TBCEnumMediaTypes : public TBCUnknown, public IEnumMediaTypes {
 public:
  TBCEnumMediaTypes(TBCBasePin* pin, const TBCEnumMediaTypes* other);
  ~TBCEnumMediaTypes() override;

  TBC_DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** clone) override;

 private:
  bool OutOfSync() const;

  TBCBasePin* FPin;  // counted (its references are its filter's)
  int FPosition = 0;
  LONG FVersion = 0;
};

}  // namespace qvr::audio
