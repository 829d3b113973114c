// The audio transform filter's public face: its class id, the format record it shares with
// clients, its control interface and the PCM callback a client may install. Slot orders and
// GUIDs are a binary contract with hosts of the filter: do not reorder.
#pragma once

#include <unknwn.h>

#include <cstdint>

// TMWAudioFormat, the current format record (seven 32-bit fields), lives with the portable rules.
#include "player/audio/core/MWAudioFormat.h"

// {7E74426C-D519-4106-99F8-05CFE5A2A9C6}
inline constexpr CLSID CLSID_MWAudioFilter = {0x7E74426C, 0xD519, 0x4106, {0x99, 0xF8, 0x05, 0xCF, 0xE5, 0xA2, 0xA9, 0xC6}};

// Implemented by a client; called on the streaming thread.
struct IMWAudioFilterPCMCallBack : public IUnknown {
  // Every non-pass-through buffer after pre-amplifier and equaliser; may rewrite the bytes in
  // place and shorten the buffer through newLength.
  virtual HRESULT STDMETHODCALLTYPE OnPCMData(BYTE* data, int32_t length, int32_t* newLength, TMWAudioFormat* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnFormatChange(TMWAudioFormat* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnFlush() = 0;
};
__CRT_UUID_DECL(IMWAudioFilterPCMCallBack, 0xE9FC6D67, 0x0331, 0x4F3D, 0xB5, 0xF5, 0xBD, 0xFC, 0x1D, 0x37, 0x5C, 0xDB)

struct IMWAudioFilterInterface : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetPCMCallBack(IMWAudioFilterPCMCallBack* callback) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPCMData(void** data, int32_t* length, TMWAudioFormat** format) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAudioDelay(int32_t* milliseconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetAudioDelay(int32_t milliseconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamSwitching(BOOL* enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetStreamSwitching(BOOL enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAudioFormat(TMWAudioFormat** format) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPreAmp(uint16_t* preamp) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPreAmp(uint16_t preamp) = 0;  // 10000 = unity
  virtual HRESULT STDMETHODCALLTYPE GetEQBands(int8_t* bands) = 0;   // 10 values
  virtual HRESULT STDMETHODCALLTYPE SetEQBands(const int8_t* bands) = 0;  // 10 values, -100..100
  virtual HRESULT STDMETHODCALLTYPE GetEQEnabled(BOOL* enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetEQEnabled(BOOL enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPCMCapture(BOOL* enabled) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPCMCapture(BOOL enabled) = 0;
};
__CRT_UUID_DECL(IMWAudioFilterInterface, 0xE830B320, 0x412D, 0x4725, 0x98, 0x52, 0xAC, 0x2E, 0xED, 0x85, 0x6B, 0x65)
