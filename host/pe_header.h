// The machine type in a Windows module's file header, read before the
// module is loaded, so a host can say why it will not run one.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint16_t {
  kMachineX86 = 0x014C,
  kMachineX64 = 0x8664,
};

// 0 when the bytes (the file's start) are not a PE file's headers.
uint16_t PeMachine(const uint8_t *bytes, size_t size);

const char *MachineName(uint16_t machine);
