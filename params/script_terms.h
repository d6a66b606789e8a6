// The settings a recorded step carries, one line each: read by the
// terminology resource (resources/terminology.rc) and by the module's
// descriptor code, so that the two cannot name different keys. Plain
// preprocessor text, as the resource compiler reads it too; codes are
// written as the integer of their four characters.
//
// X(name as a length-prefixed string, key, type declared in the
//   terminology, type recorded, unit, ParamIndex, low, high, units per
//   recorded 1.0)
#pragma once

// Identifiers of the module's own for its event, in the property list's
// 'hstm' and in the terminology.
#define TAVORIN_SCRIPT_SUITE 0x5476726EL /* 'Tvrn' */
#define TAVORIN_SCRIPT_CLASS 0x5476726EL /* 'Tvrn' */
#define TAVORIN_SCRIPT_EVENT 0x54765368L /* 'TvSh' */
#define TAVORIN_TERMINOLOGY_ID 16000

#define TAVORIN_SCRIPT_SETTING_COUNT 9
#define TAVORIN_SCRIPT_SETTINGS(X)                                          \
  X("\006Radius", 0x54765264L /* 'TvRd' */, 0x646F7562L /* 'doub' */,       \
    0x556E7446L /* 'UntF' */, 0x2350786CL /* '#Pxl' */, 0, 0, kRadiusMax, 10) \
  X("\010Response", 0x54765273L /* 'TvRs' */, 0x6C6F6E67L /* 'long' */,     \
    0x6C6F6E67L, 0, 1, 0, kControlMax, 1)                                   \
  X("\006Spread", 0x54765370L /* 'TvSp' */, 0x6C6F6E67L, 0x6C6F6E67L, 0, 2, \
    0, kControlMax, 1)                                                      \
  X("\003Red", 0x54765752L /* 'TvWR' */, 0x6C6F6E67L, 0x6C6F6E67L, 0, 3,    \
    kWeightMin, kWeightMax, 1)                                              \
  X("\006Yellow", 0x54765759L /* 'TvWY' */, 0x6C6F6E67L, 0x6C6F6E67L, 0, 4, \
    kWeightMin, kWeightMax, 1)                                              \
  X("\005Green", 0x54765747L /* 'TvWG' */, 0x6C6F6E67L, 0x6C6F6E67L, 0, 5,  \
    kWeightMin, kWeightMax, 1)                                              \
  X("\004Cyan", 0x54765743L /* 'TvWC' */, 0x6C6F6E67L, 0x6C6F6E67L, 0, 6,   \
    kWeightMin, kWeightMax, 1)                                              \
  X("\004Blue", 0x54765742L /* 'TvWB' */, 0x6C6F6E67L, 0x6C6F6E67L, 0, 7,   \
    kWeightMin, kWeightMax, 1)                                              \
  X("\007Magenta", 0x5476574DL /* 'TvWM' */, 0x6C6F6E67L, 0x6C6F6E67L, 0,   \
    8, kWeightMin, kWeightMax, 1)
