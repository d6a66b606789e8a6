// Length-prefixed 8-bit strings, the number text of the dialog's edit
// boxes, and the byte swap that turns memory order into file order.
#pragma once

#include <cstdint>

// Byte 0 is the length (0..255), bytes 1..length the characters; no
// terminator, bytes past the length carry no meaning.
typedef unsigned char PString[256];

void PStringCopy(const unsigned char *source, unsigned char *destination);
void PStringAppend(const unsigned char *piece, unsigned char *destination);
int PStringEqual(const unsigned char *a, const unsigned char *b);
void PStringToC(const unsigned char *string, char *buffer);
void CToPString(const char *text, unsigned char *string);

void IntToPString(int32_t value, unsigned char *string);
void FloatToPString(float value, int32_t decimals, unsigned char *string,
                    int32_t forceSign);
float PStringToFloat(const unsigned char *string);

void SwapBytes32(const void *source, void *destination);
