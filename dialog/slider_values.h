// The arithmetic of the slider and edit-box binding: the binding word a
// slider keeps, slider ranges by id, slider positions against values
// (vertical sliders have their high end at the top; colour sliders snap
// to 0 near the middle), and the number text of the boxes with
// decimals. Portable; the dialog does the control messages.
#pragma once

#include <cstdint>

// Bits 0-15 the edit box id, 16-23 the ParamIndex, 24-31 the decimals.
uint32_t MakeSliderBinding(int32_t editId, int32_t paramIndex,
                           int32_t decimals);
inline int32_t BindingEditId(uint32_t b) { return int32_t(b & 0xFFFF); }
inline int32_t BindingParamIndex(uint32_t b) {
  return int32_t((b >> 16) & 0xFF);
}
inline int32_t BindingDecimals(uint32_t b) { return int32_t(b >> 24); }
uint32_t WithBindingDecimals(uint32_t binding, int32_t decimals);

// 1, 10, 100, 1000 for decimals 0..3.
int32_t PowerOfTen(int32_t decimals);

// The range a slider of this id gets; false for the sliders that keep the
// trackbar's standard range of 0..100.
bool SliderRangeFor(int32_t sliderId, int32_t *low, int32_t *high);

// The radius slider's travel gives the small radii most of its length:
// the value grows with the square of the position, so that half the
// travel reaches a quarter of the range (25 pixels) and a tenth of it a
// hundredth (1 pixel). The position of a value is the nearest one.
bool SquareLawTravel(int32_t sliderId);
int32_t SquareLawValue(int32_t position, int32_t high);
int32_t SquareLawPosition(int32_t value, int32_t high);

// A slider's logical value from its position, and back.
int32_t SliderValueFromPosition(int32_t position, int32_t low, int32_t high,
                                bool vertical);
int32_t SliderPositionFromValue(int32_t value, int32_t low, int32_t high,
                                bool vertical);

// An edit box's text (a PString of at most 29 characters is what the
// dialog reads) as a number within low..high: the number and true, or
// the nearest end (the low end for no text) and false.
bool ParseEditFloat(const unsigned char *text, float low, float high,
                    float *value);

// Whether a box's text holds a number at all: a digit somewhere in it.
// A box without one (empty, or a slip such as "abc") leaves the value as
// it was while the user types.
bool TextHasDigit(const unsigned char *text);

// The value a box's text stands for, in units of 1 / 10^decimals,
// truncated toward zero from the text's own digits (0.7 gives 7 at one
// decimal, where 0.7f x 10 would give 6). With decimals, within
// low..high in units: true; otherwise the nearest end and false.
bool EditUnitsFromText(const unsigned char *text, int32_t decimals, int32_t low,
                       int32_t high, int32_t *units);
