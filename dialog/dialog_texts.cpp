#include "dialog/dialog_texts.h"

const unsigned char kDefaultLabel[] = "\007Default";
const unsigned char kResetLabel[] = "\005Reset";
const unsigned char kCancelLabel[] = "\006 \xC8\xA1\xCF\xFB ";

const unsigned char *CancelLabelFor(bool altDown, bool shiftDown) {
  if (altDown) return shiftDown ? kDefaultLabel : kResetLabel;
  return kCancelLabel;
}

void ZoomLabelText(int32_t percent, unsigned char *text) {
  IntToPString(percent, text);
  const unsigned char percentSign[] = "\001%";
  PStringAppend(percentSign, text);
}
