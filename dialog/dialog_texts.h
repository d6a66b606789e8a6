// Texts the dialog builds or compares: the three labels of the Cancel
// button and the zoom label. Portable.
#pragma once

#include <cstdint>

#include "params/pstring.h"

// The label texts are 8-bit in the code page the Chinese labels were
// written for; the dialog converts through it, so they read the same on
// any system.
constexpr uint32_t kLabelCodePage = 936;

extern const unsigned char kDefaultLabel[];         // "Default"
extern const unsigned char kResetLabel[];           // "Reset"
extern const unsigned char kCancelLabel[];          // " 取消 " in GBK
extern const unsigned char kEnglishCancelLabel[];   // "Cancel"
extern const unsigned char kChineseDefaultLabel[];  // " 默认 " in GBK
extern const unsigned char kChineseResetLabel[];    // " 复位 " in GBK

// The dialog's two faces: the system picks the Chinese or the English
// template from the user's language, and the Cancel button's three
// labels are those of the face it opened with.
enum class DialogFace { kChinese, kEnglish };

// Alt and Shift give Default, Alt alone Reset, otherwise Cancel, in the
// face's language.
const unsigned char *CancelLabelFor(bool altDown, bool shiftDown,
                                    DialogFace face);

// The zoom percentage followed by "%", as "33%" or "1600%".
void ZoomLabelText(int32_t percent, unsigned char *text);
