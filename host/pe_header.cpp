#include "host/pe_header.h"

uint16_t PeMachine(const uint8_t *bytes, size_t size) {
  if (bytes == nullptr || size < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z')
    return 0;
  uint32_t offset = uint32_t(bytes[0x3C]) | (uint32_t(bytes[0x3D]) << 8) |
                    (uint32_t(bytes[0x3E]) << 16) |
                    (uint32_t(bytes[0x3F]) << 24);
  if (offset > size || size - offset < 6)
    return 0;
  const uint8_t *pe = bytes + offset;
  if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0)
    return 0;
  return uint16_t(pe[4] | (pe[5] << 8));
}

const char *MachineName(uint16_t machine) {
  switch (machine) {
  case kMachineX86:
    return "x86";
  case kMachineX64:
    return "x64";
  case 0:
    return "not a Windows module";
  default:
    return "another machine";
  }
}
