#include "dialog/dialog_texts.h"

const unsigned char kDefaultLabel[] = "\007Default";
const unsigned char kResetLabel[] = "\005Reset";
const unsigned char kCancelLabel[] = "\006 \xC8\xA1\xCF\xFB ";
const unsigned char kEnglishCancelLabel[] = "\006Cancel";
const unsigned char kChineseDefaultLabel[] = "\006 \xC4\xAC\xC8\xCF ";
const unsigned char kChineseResetLabel[] = "\006 \xB8\xB4\xCE\xBB ";

const unsigned char *CancelLabelFor(bool altDown, bool shiftDown,
                                    DialogFace face) {
  if (face == DialogFace::kEnglish) {
    if (altDown) return shiftDown ? kDefaultLabel : kResetLabel;
    return kEnglishCancelLabel;
  }
  if (altDown) return shiftDown ? kChineseDefaultLabel : kChineseResetLabel;
  return kCancelLabel;
}

void ZoomLabelText(int32_t percent, unsigned char *text) {
  IntToPString(percent, text);
  const unsigned char percentSign[] = "\001%";
  PStringAppend(percentSign, text);
}
