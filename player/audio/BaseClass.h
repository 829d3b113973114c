// BaseClass: the program's DirectShow filter framework, built as separable parts:
//   BaseClassObject    TBCBaseObject, TBCUnknown, TBCCritSec, TBC_ASSERT
//   BaseClassMediaType media-type copy/compare/free, TBCMediaType
//   BaseClassEnum      TBCEnumPins, TBCEnumMediaTypes
//   BaseClassFilter    TBCBaseFilter
//   BaseClassPins      TBCBasePin, TBCBaseInputPin, TBCBaseOutputPin (+ BaseClassAllocator.cpp)
//   BaseClassTransform TBCTransformFilter, TBCTransformInputPin, TBCTransformOutputPin
//   BaseClassPosition  TBCPosPassThru (IMediaSeeking / IMediaPosition of an output pin)
//   BaseClassFactory   TBCFilterTemplate, TBCClassFactory, the in-memory template list
// Only the audio filter (MWAudioFilter) is built on it.
#pragma once

#include "player/audio/BaseClassEnum.h"
#include "player/audio/BaseClassFactory.h"
#include "player/audio/BaseClassFilter.h"
#include "player/audio/BaseClassMediaType.h"
#include "player/audio/BaseClassObject.h"
#include "player/audio/BaseClassPins.h"
#include "player/audio/BaseClassPosition.h"
#include "player/audio/BaseClassTransform.h"
