// The host's records and callbacks of the Photoshop filter plug-in
// interface, declared by us to match the published binary layout on
// 32- and 64-bit Windows. Portable: the native build compiles the same
// declarations so the engine can be tested on Linux.
#pragma once

#include <cstddef>
#include <cstdint>

typedef int16_t OSErr;
typedef uint32_t OSType;
typedef uint32_t PIType;
typedef unsigned char Boolean;
typedef int32_t Fixed;
typedef char **Handle;

// Four-character code, first character in the most significant byte.
constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) |
         (uint32_t(uint8_t(c)) << 8) | uint32_t(uint8_t(d));
}

struct Point {
  int16_t v;
  int16_t h;
};

struct Rect {
  int16_t top, left, bottom, right;
};

struct VRect {
  int32_t top, left, bottom, right;
};

struct PSRGBColor {
  uint16_t red, green, blue;
};

typedef unsigned char FilterColor[4];

struct PlugInMonitor {
  Fixed gamma, redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY,
      ambient;
};

struct PlatformData {
  intptr_t hwnd;
};

struct AboutRecord {
  void *platformData;
  void *sSPBasic;
  void *plugInRef;
  char reserved[244];
};

typedef Handle (*NewPIHandleProc)(int32_t size);
typedef void (*DisposePIHandleProc)(Handle h);
typedef int32_t (*GetPIHandleSizeProc)(Handle h);
typedef OSErr (*SetPIHandleSizeProc)(Handle h, int32_t newSize);
typedef char *(*LockPIHandleProc)(Handle h, Boolean moveHigh);
typedef void (*UnlockPIHandleProc)(Handle h);
typedef void (*RecoverSpaceProc)(int32_t size);
typedef void (*DisposeRegularHandleProc)(Handle h);

struct HandleProcs {
  int16_t handleProcsVersion;
  int16_t numHandleProcs;
  NewPIHandleProc newProc;
  DisposePIHandleProc disposeProc;
  GetPIHandleSizeProc getSizeProc;
  SetPIHandleSizeProc setSizeProc;
  LockPIHandleProc lockProc;
  UnlockPIHandleProc unlockProc;
  RecoverSpaceProc recoverSpaceProc;
  DisposeRegularHandleProc disposeRegularHandleProc;
};

typedef OSErr (*GetPropertyProc)(PIType signature, PIType key, int32_t index,
                                 intptr_t *simpleProperty,
                                 Handle *complexProperty);
typedef OSErr (*SetPropertyProc)(PIType signature, PIType key, int32_t index,
                                 intptr_t simpleProperty,
                                 Handle complexProperty);

struct PropertyProcs {
  int16_t propertyProcsVersion;
  int16_t numPropertyProcs;
  GetPropertyProc getPropertyProc;
  SetPropertyProc setPropertyProc;
};

struct PSPixelMask;

struct PSPixelMap {
  int32_t version;
  VRect bounds;
  int32_t imageMode;
  int32_t rowBytes;
  int32_t colBytes;
  int32_t planeBytes;
  void *baseAddr;
  PSPixelMask *mat;
  PSPixelMask *masks;
  int32_t maskPhaseRow;
  int32_t maskPhaseCol;
};

typedef OSErr (*DisplayPixelsProc)(const PSPixelMap *source,
                                   const VRect *srcRect, int32_t dstRow,
                                   int32_t dstCol, void *platformContext);
typedef Boolean (*TestAbortProc)(void);
typedef void (*ProgressProc)(int32_t done, int32_t total);
typedef void (*HostProc)(int16_t selector, intptr_t *data);
typedef OSErr (*AdvanceStateProc)(void);

// Hosts declare this record under 4-byte packing: on 64 bits the
// pointers after serialNumber sit at 4-byte boundaries.
#pragma pack(push, 4)
struct FilterRecord {
  int32_t serialNumber;
  TestAbortProc abortProc;
  ProgressProc progressProc;
  Handle parameters;
  Point imageSize;
  int16_t planes;
  Rect filterRect;
  PSRGBColor background;
  PSRGBColor foreground;
  int32_t maxSpace;
  int32_t bufferSpace;
  Rect inRect;
  int16_t inLoPlane;
  int16_t inHiPlane;
  Rect outRect;
  int16_t outLoPlane;
  int16_t outHiPlane;
  void *inData;
  int32_t inRowBytes;
  void *outData;
  int32_t outRowBytes;
  Boolean isFloating;
  Boolean haveMask;
  Boolean autoMask;
  Rect maskRect;
  void *maskData;
  int32_t maskRowBytes;
  FilterColor backColor;
  FilterColor foreColor;
  OSType hostSig;
  HostProc hostProc;
  int16_t imageMode;
  Fixed imageHRes;
  Fixed imageVRes;
  Point floatCoord;
  Point wholeSize;
  PlugInMonitor monitor;
  void *platformData;
  void *bufferProcs;
  void *resourceProcs;
  void *processEvent;
  DisplayPixelsProc displayPixels;
  HandleProcs *handleProcs;
  Boolean supportsDummyChannels;
  Boolean supportsAlternateLayouts;
  int16_t wantLayout;
  int16_t filterCase;
  int16_t dummyPlaneValue;
  void *premiereHook;
  AdvanceStateProc advanceState;
  Boolean supportsAbsolute;
  Boolean wantsAbsolute;
  void *getPropertyObsolete;
  Boolean cannotUndo;
  Boolean supportsPadding;
  int16_t inputPadding;
  int16_t outputPadding;
  int16_t maskPadding;
  char samplingSupport;
  char reservedByte;
  Fixed inputRate;
  Fixed maskRate;
  void *colorServices;
  int16_t inLayerPlanes, inTransparencyMask, inLayerMasks,
      inInvertedLayerMasks, inNonLayerPlanes;
  int16_t outLayerPlanes, outTransparencyMask, outLayerMasks,
      outInvertedLayerMasks, outNonLayerPlanes;
  int16_t absLayerPlanes, absTransparencyMask, absLayerMasks,
      absInvertedLayerMasks, absNonLayerPlanes;
  int16_t inPreDummyPlanes, inPostDummyPlanes, outPreDummyPlanes,
      outPostDummyPlanes;
  int32_t inColumnBytes, inPlaneBytes, outColumnBytes, outPlaneBytes;
  void *imageServicesProcs;
  PropertyProcs *propertyProcs;
  int16_t inTileHeight, inTileWidth;
  Point inTileOrigin;
  int16_t absTileHeight, absTileWidth;
  Point absTileOrigin;
  int16_t outTileHeight, outTileWidth;
  Point outTileOrigin;
  int16_t maskTileHeight, maskTileWidth;
  Point maskTileOrigin;
  void *descriptorParameters;
  void *errorString;
  void *channelPortProcs;
  void *documentInfo;
  void *sSPBasic;
  void *plugInRef;
  int32_t depth;
};
#pragma pack(pop)

// The scripting records: the descriptor a host plays back and the
// procedures that read and write one. Natural alignment, unlike
// FilterRecord; the reader and writer are opaque tokens of the host's.
typedef struct DescriptorReader *PIReadDescriptor;
typedef struct DescriptorWriter *PIWriteDescriptor;
typedef uint32_t DescriptorKeyID;

struct PIDescriptorSimpleReference {
  uint32_t desiredClass;
  uint32_t keyForm;
  struct {
    unsigned char name[256];
    int32_t index;
    uint32_t type;
    uint32_t value;
  } keyData;
};

typedef PIReadDescriptor (*OpenReadDescriptorProc)(Handle descriptor,
                                                   DescriptorKeyID *keyArray);
typedef OSErr (*CloseReadDescriptorProc)(PIReadDescriptor reader);
typedef Boolean (*GetKeyProc)(PIReadDescriptor reader, DescriptorKeyID *key,
                              uint32_t *type, int32_t *flags);
typedef OSErr (*GetIntegerProc)(PIReadDescriptor reader, int32_t *value);
typedef OSErr (*GetFloatProc)(PIReadDescriptor reader, double *value);
typedef OSErr (*GetUnitFloatProc)(PIReadDescriptor reader, uint32_t *unit,
                                  double *value);
typedef OSErr (*GetBooleanProc)(PIReadDescriptor reader, Boolean *value);
typedef OSErr (*GetHandleValueProc)(PIReadDescriptor reader, Handle *value);
typedef OSErr (*GetCodeProc)(PIReadDescriptor reader, uint32_t *value);
typedef OSErr (*GetSimpleReferenceProc)(PIReadDescriptor reader,
                                        PIDescriptorSimpleReference *value);
typedef OSErr (*GetObjectProc)(PIReadDescriptor reader, uint32_t *type,
                               Handle *value);
typedef OSErr (*GetStringProc)(PIReadDescriptor reader,
                               unsigned char (*value)[256]);
typedef OSErr (*GetPinnedIntegerProc)(PIReadDescriptor reader, int32_t min,
                                      int32_t max, int32_t *value);
typedef OSErr (*GetPinnedFloatProc)(PIReadDescriptor reader, const double *min,
                                    const double *max, double *value);
typedef OSErr (*GetPinnedUnitFloatProc)(PIReadDescriptor reader,
                                        const double *min, const double *max,
                                        uint32_t *unit, double *value);

struct ReadDescriptorProcs {
  int16_t readDescriptorProcsVersion;
  int16_t numReadDescriptorProcs;
  OpenReadDescriptorProc openReadDescriptorProc;
  CloseReadDescriptorProc closeReadDescriptorProc;
  GetKeyProc getKeyProc;
  GetIntegerProc getIntegerProc;
  GetFloatProc getFloatProc;
  GetUnitFloatProc getUnitFloatProc;
  GetBooleanProc getBooleanProc;
  GetHandleValueProc getTextProc;
  GetHandleValueProc getAliasProc;
  GetCodeProc getEnumeratedProc;
  GetCodeProc getClassProc;
  GetSimpleReferenceProc getSimpleReferenceProc;
  GetObjectProc getObjectProc;
  GetCodeProc getCountProc;
  GetStringProc getStringProc;
  GetPinnedIntegerProc getPinnedIntegerProc;
  GetPinnedFloatProc getPinnedFloatProc;
  GetPinnedUnitFloatProc getPinnedUnitFloatProc;
};

typedef PIWriteDescriptor (*OpenWriteDescriptorProc)(void);
typedef OSErr (*CloseWriteDescriptorProc)(PIWriteDescriptor writer,
                                          Handle *descriptor);
typedef OSErr (*PutIntegerProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                                int32_t value);
typedef OSErr (*PutFloatProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                              const double *value);
typedef OSErr (*PutUnitFloatProc)(PIWriteDescriptor writer,
                                  DescriptorKeyID key, uint32_t unit,
                                  const double *value);
typedef OSErr (*PutBooleanProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                                Boolean value);
typedef OSErr (*PutHandleValueProc)(PIWriteDescriptor writer,
                                    DescriptorKeyID key, Handle value);
typedef OSErr (*PutEnumeratedProc)(PIWriteDescriptor writer,
                                   DescriptorKeyID key, uint32_t type,
                                   uint32_t value);
typedef OSErr (*PutCodeProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                             uint32_t value);
typedef OSErr (*PutSimpleReferenceProc)(
    PIWriteDescriptor writer, DescriptorKeyID key,
    const PIDescriptorSimpleReference *value);
typedef OSErr (*PutObjectProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                               uint32_t type, Handle value);
typedef OSErr (*PutStringProc)(PIWriteDescriptor writer, DescriptorKeyID key,
                               const unsigned char *value);

struct WriteDescriptorProcs {
  int16_t writeDescriptorProcsVersion;
  int16_t numWriteDescriptorProcs;
  OpenWriteDescriptorProc openWriteDescriptorProc;
  CloseWriteDescriptorProc closeWriteDescriptorProc;
  PutIntegerProc putIntegerProc;
  PutFloatProc putFloatProc;
  PutUnitFloatProc putUnitFloatProc;
  PutBooleanProc putBooleanProc;
  PutHandleValueProc putTextProc;
  PutHandleValueProc putAliasProc;
  PutEnumeratedProc putEnumeratedProc;
  PutCodeProc putClassProc;
  PutSimpleReferenceProc putSimpleReferenceProc;
  PutObjectProc putObjectProc;
  PutCodeProc putCountProc;
  PutStringProc putStringProc;
  PutCodeProc putScopedClassProc;
  PutObjectProc putScopedObjectProc;
};

struct PIDescriptorParameters {
  int16_t descriptorParametersVersion;
  int16_t playInfo;
  int16_t recordInfo;
  Handle descriptor;
  WriteDescriptorProcs *writeDescriptorProcs;
  ReadDescriptorProcs *readDescriptorProcs;
};

constexpr int16_t kReadDescriptorProcCount = 18;
constexpr int16_t kWriteDescriptorProcCount = 16;

// playInfo, from the host.
enum : int16_t {
  kPlayDialogDontDisplay = 0,  // only where values are missing
  kPlayDialogDisplay = 1,      // filled with the descriptor's values
  kPlayDialogSilent = 2,       // never, nor any message
};
// recordInfo, from the module.
enum : int16_t {
  kRecordDialogOptional = 0,
  kRecordDialogRequired = 1,
  kRecordDialogNone = 2,
};

constexpr uint32_t kTypeInteger = FourCC('l', 'o', 'n', 'g');
constexpr uint32_t kTypeFloat = FourCC('d', 'o', 'u', 'b');
constexpr uint32_t kTypeUnitFloat = FourCC('U', 'n', 't', 'F');
constexpr uint32_t kTypeBoolean = FourCC('b', 'o', 'o', 'l');
constexpr uint32_t kTypeText = FourCC('T', 'E', 'X', 'T');
constexpr uint32_t kTypeAlias = FourCC('a', 'l', 'i', 's');
constexpr uint32_t kTypeEnumerated = FourCC('e', 'n', 'u', 'm');
constexpr uint32_t kTypeClass = FourCC('t', 'y', 'p', 'e');
constexpr uint32_t kTypeObject = FourCC('O', 'b', 'j', 'c');
constexpr uint32_t kTypeReference = FourCC('o', 'b', 'j', ' ');
constexpr uint32_t kTypeNull = FourCC('n', 'u', 'l', 'l');
constexpr uint32_t kUnitPixels = FourCC('#', 'P', 'x', 'l');
constexpr uint32_t kUnitNone = FourCC('#', 'N', 'n', 'e');

// Result codes of the descriptor procedures.
enum : int16_t {
  kErrCoercedParam = 2,  // a value converted or pinned: not a failure
  kErrParam = -50,
  kErrMissingParameter = -1715,
  kErrReportString = -30904,
};

// Selectors, result codes and image modes used on both sides.
enum : int16_t {
  kSelectorAbout = 0,
  kSelectorParameters = 1,
  kSelectorPrepare = 2,
  kSelectorStart = 3,
  kSelectorContinue = 4,
  kSelectorFinish = 5,
};

enum : int32_t {
  kErrNoMemory = -108,
  kErrNilHandle = -109,
  kErrMemLocked = -114,
  kErrFilterBadParameters = -30100,
};

enum : int16_t {
  kModeGrayscale = 1,
  kModeIndexed = 2,
  kModeRGB = 3,
  kModeCMYK = 4,
  kModeMultichannel = 7,
  kModeDuotone = 8,
  kModeLab = 9,
  kModeGray16 = 10,
  kModeRGB48 = 11,
  kModeLab48 = 12,
  kModeCMYK64 = 13,
};

constexpr OSType kHostSig8BIM = FourCC('8', 'B', 'I', 'M');
constexpr OSType kHostSigMFI1 = FourCC('M', 'F', 'I', '1');

typedef void (*PluginEntryProc)(int16_t selector, void *record,
                                intptr_t *data, int16_t *result);

// The layout is the contract with every host: check it at compile time.
#define TAVORIN_CHECK_OFFSET(field, off32, off64)                          \
  static_assert(offsetof(FilterRecord, field) ==                           \
                    (sizeof(void *) == 4 ? (off32) : (off64)),             \
                "FilterRecord." #field " is misplaced")
// Every field of the record, the grouped ones of the table included.
TAVORIN_CHECK_OFFSET(serialNumber, 0, 0);
TAVORIN_CHECK_OFFSET(abortProc, 4, 4);
TAVORIN_CHECK_OFFSET(progressProc, 8, 12);
TAVORIN_CHECK_OFFSET(parameters, 12, 20);
TAVORIN_CHECK_OFFSET(imageSize, 16, 28);
TAVORIN_CHECK_OFFSET(planes, 20, 32);
TAVORIN_CHECK_OFFSET(filterRect, 22, 34);
TAVORIN_CHECK_OFFSET(background, 30, 42);
TAVORIN_CHECK_OFFSET(foreground, 36, 48);
TAVORIN_CHECK_OFFSET(maxSpace, 44, 56);
TAVORIN_CHECK_OFFSET(bufferSpace, 48, 60);
TAVORIN_CHECK_OFFSET(inRect, 52, 64);
TAVORIN_CHECK_OFFSET(inLoPlane, 60, 72);
TAVORIN_CHECK_OFFSET(inHiPlane, 62, 74);
TAVORIN_CHECK_OFFSET(outRect, 64, 76);
TAVORIN_CHECK_OFFSET(outLoPlane, 72, 84);
TAVORIN_CHECK_OFFSET(outHiPlane, 74, 86);
TAVORIN_CHECK_OFFSET(inData, 76, 88);
TAVORIN_CHECK_OFFSET(inRowBytes, 80, 96);
TAVORIN_CHECK_OFFSET(outData, 84, 100);
TAVORIN_CHECK_OFFSET(outRowBytes, 88, 108);
TAVORIN_CHECK_OFFSET(isFloating, 92, 112);
TAVORIN_CHECK_OFFSET(haveMask, 93, 113);
TAVORIN_CHECK_OFFSET(autoMask, 94, 114);
TAVORIN_CHECK_OFFSET(maskRect, 96, 116);
TAVORIN_CHECK_OFFSET(maskData, 104, 124);
TAVORIN_CHECK_OFFSET(maskRowBytes, 108, 132);
TAVORIN_CHECK_OFFSET(backColor, 112, 136);
TAVORIN_CHECK_OFFSET(foreColor, 116, 140);
TAVORIN_CHECK_OFFSET(hostSig, 120, 144);
TAVORIN_CHECK_OFFSET(hostProc, 124, 148);
TAVORIN_CHECK_OFFSET(imageMode, 128, 156);
TAVORIN_CHECK_OFFSET(imageHRes, 132, 160);
TAVORIN_CHECK_OFFSET(imageVRes, 136, 164);
TAVORIN_CHECK_OFFSET(floatCoord, 140, 168);
TAVORIN_CHECK_OFFSET(wholeSize, 144, 172);
TAVORIN_CHECK_OFFSET(monitor, 148, 176);
TAVORIN_CHECK_OFFSET(platformData, 188, 216);
TAVORIN_CHECK_OFFSET(bufferProcs, 192, 224);
TAVORIN_CHECK_OFFSET(resourceProcs, 196, 232);
TAVORIN_CHECK_OFFSET(processEvent, 200, 240);
TAVORIN_CHECK_OFFSET(displayPixels, 204, 248);
TAVORIN_CHECK_OFFSET(handleProcs, 208, 256);
TAVORIN_CHECK_OFFSET(supportsDummyChannels, 212, 264);
TAVORIN_CHECK_OFFSET(supportsAlternateLayouts, 213, 265);
TAVORIN_CHECK_OFFSET(wantLayout, 214, 266);
TAVORIN_CHECK_OFFSET(filterCase, 216, 268);
TAVORIN_CHECK_OFFSET(dummyPlaneValue, 218, 270);
TAVORIN_CHECK_OFFSET(premiereHook, 220, 272);
TAVORIN_CHECK_OFFSET(advanceState, 224, 280);
TAVORIN_CHECK_OFFSET(supportsAbsolute, 228, 288);
TAVORIN_CHECK_OFFSET(wantsAbsolute, 229, 289);
TAVORIN_CHECK_OFFSET(getPropertyObsolete, 232, 292);
TAVORIN_CHECK_OFFSET(cannotUndo, 236, 300);
TAVORIN_CHECK_OFFSET(supportsPadding, 237, 301);
TAVORIN_CHECK_OFFSET(inputPadding, 238, 302);
TAVORIN_CHECK_OFFSET(outputPadding, 240, 304);
TAVORIN_CHECK_OFFSET(maskPadding, 242, 306);
TAVORIN_CHECK_OFFSET(samplingSupport, 244, 308);
TAVORIN_CHECK_OFFSET(reservedByte, 245, 309);
TAVORIN_CHECK_OFFSET(inputRate, 248, 312);
TAVORIN_CHECK_OFFSET(maskRate, 252, 316);
TAVORIN_CHECK_OFFSET(colorServices, 256, 320);
TAVORIN_CHECK_OFFSET(inLayerPlanes, 260, 328);
TAVORIN_CHECK_OFFSET(inColumnBytes, 300, 368);
TAVORIN_CHECK_OFFSET(imageServicesProcs, 316, 384);
TAVORIN_CHECK_OFFSET(propertyProcs, 320, 392);
TAVORIN_CHECK_OFFSET(inTileHeight, 324, 400);
TAVORIN_CHECK_OFFSET(descriptorParameters, 356, 432);
TAVORIN_CHECK_OFFSET(errorString, 360, 440);
TAVORIN_CHECK_OFFSET(channelPortProcs, 364, 448);
TAVORIN_CHECK_OFFSET(documentInfo, 368, 456);
TAVORIN_CHECK_OFFSET(sSPBasic, 372, 464);
TAVORIN_CHECK_OFFSET(plugInRef, 376, 472);
TAVORIN_CHECK_OFFSET(depth, 380, 480);
TAVORIN_CHECK_OFFSET(inTransparencyMask, 262, 330);
TAVORIN_CHECK_OFFSET(inLayerMasks, 264, 332);
TAVORIN_CHECK_OFFSET(inInvertedLayerMasks, 266, 334);
TAVORIN_CHECK_OFFSET(inNonLayerPlanes, 268, 336);
TAVORIN_CHECK_OFFSET(outLayerPlanes, 270, 338);
TAVORIN_CHECK_OFFSET(outTransparencyMask, 272, 340);
TAVORIN_CHECK_OFFSET(outLayerMasks, 274, 342);
TAVORIN_CHECK_OFFSET(outInvertedLayerMasks, 276, 344);
TAVORIN_CHECK_OFFSET(outNonLayerPlanes, 278, 346);
TAVORIN_CHECK_OFFSET(absLayerPlanes, 280, 348);
TAVORIN_CHECK_OFFSET(absTransparencyMask, 282, 350);
TAVORIN_CHECK_OFFSET(absLayerMasks, 284, 352);
TAVORIN_CHECK_OFFSET(absInvertedLayerMasks, 286, 354);
TAVORIN_CHECK_OFFSET(absNonLayerPlanes, 288, 356);
TAVORIN_CHECK_OFFSET(inPreDummyPlanes, 290, 358);
TAVORIN_CHECK_OFFSET(inPostDummyPlanes, 292, 360);
TAVORIN_CHECK_OFFSET(outPreDummyPlanes, 294, 362);
TAVORIN_CHECK_OFFSET(outPostDummyPlanes, 296, 364);
TAVORIN_CHECK_OFFSET(inPlaneBytes, 304, 372);
TAVORIN_CHECK_OFFSET(outColumnBytes, 308, 376);
TAVORIN_CHECK_OFFSET(outPlaneBytes, 312, 380);
TAVORIN_CHECK_OFFSET(inTileWidth, 326, 402);
TAVORIN_CHECK_OFFSET(inTileOrigin, 328, 404);
TAVORIN_CHECK_OFFSET(absTileHeight, 332, 408);
TAVORIN_CHECK_OFFSET(absTileWidth, 334, 410);
TAVORIN_CHECK_OFFSET(absTileOrigin, 336, 412);
TAVORIN_CHECK_OFFSET(outTileHeight, 340, 416);
TAVORIN_CHECK_OFFSET(outTileWidth, 342, 418);
TAVORIN_CHECK_OFFSET(outTileOrigin, 344, 420);
TAVORIN_CHECK_OFFSET(maskTileHeight, 348, 424);
TAVORIN_CHECK_OFFSET(maskTileWidth, 350, 426);
TAVORIN_CHECK_OFFSET(maskTileOrigin, 352, 428);
#undef TAVORIN_CHECK_OFFSET
static_assert(sizeof(FilterRecord) == (sizeof(void *) == 4 ? 384 : 484),
              "FilterRecord size");
static_assert(sizeof(AboutRecord) == (sizeof(void *) == 4 ? 256 : 272),
              "AboutRecord size");
static_assert(offsetof(HandleProcs, newProc) == sizeof(void *), "newProc");
static_assert(offsetof(HandleProcs, lockProc) == 5 * sizeof(void *),
              "lockProc");
static_assert(offsetof(HandleProcs, unlockProc) == 6 * sizeof(void *),
              "unlockProc");
static_assert(offsetof(PropertyProcs, setPropertyProc) == 2 * sizeof(void *),
              "setPropertyProc");
static_assert(offsetof(PSPixelMap, baseAddr) == (sizeof(void *) == 4 ? 36 : 40),
              "baseAddr");
static_assert(sizeof(PIDescriptorParameters) ==
                  (sizeof(void *) == 4 ? 20 : 32),
              "PIDescriptorParameters size");
static_assert(offsetof(PIDescriptorParameters, readDescriptorProcs) ==
                  (sizeof(void *) == 4 ? 16 : 24),
              "readDescriptorProcs");
static_assert(offsetof(ReadDescriptorProcs, getPinnedUnitFloatProc) ==
                  (sizeof(void *) == 4 ? 72 : 144),
              "getPinnedUnitFloatProc");
static_assert(sizeof(WriteDescriptorProcs) == (sizeof(void *) == 4 ? 68 : 136),
              "WriteDescriptorProcs size");
static_assert(sizeof(PIDescriptorSimpleReference) == 276,
              "PIDescriptorSimpleReference size");
static_assert(sizeof(PSPixelMap) == (sizeof(void *) == 4 ? 56 : 72),
              "PSPixelMap size");
