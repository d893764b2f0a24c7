// The setup library's exports: what an installer asks about the PC it
// installs on. Plain C functions; the record layout is fixed byte for byte.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QDVSETUP_MAX_VIDEO_ADAPTERS 32
#define QDVSETUP_TEXT_SIZE 256

#pragma pack(push, 1)

// One video controller: its caption and its memory in MB.
typedef struct VideoAdapterInfo {
  char caption[QDVSETUP_TEXT_SIZE];
  uint32_t memoryMB;
} VideoAdapterInfo;

// Filled by getSystemInfo. Texts are UTF-8, at most 255 bytes, NUL-terminated,
// with control characters replaced by '?'.
typedef struct SystemInfo {
  char osCaption[QDVSETUP_TEXT_SIZE];
  char osVersion[QDVSETUP_TEXT_SIZE];
  uint32_t osMajor;
  uint32_t osMinor;
  uint32_t servicePack;
  uint32_t memoryMB;
  char cpuName[QDVSETUP_TEXT_SIZE];
  char cpuManufacturer[QDVSETUP_TEXT_SIZE];
  char cpuCaption[QDVSETUP_TEXT_SIZE];
  uint32_t cpuCount;
  uint32_t cpuClockMHz;
  uint32_t usb2Hosts;
  uint32_t usbViaHosts;
  uint32_t gigabitNics;
  uint32_t intelGigabitNics;
  uint32_t videoCount;
  VideoAdapterInfo videoAdapters[QDVSETUP_MAX_VIDEO_ADAPTERS];
} SystemInfo;

#pragma pack(pop)

// Fills *info (zero-filled first); 0 when every step succeeded, 1 when a step
// failed or info is NULL (then nothing is written).
int32_t getSystemInfo(SystemInfo* info);

// Processor instruction-set extensions: the extension's bit (0x01 to 0x40)
// when the processor offers it, else 0.
int32_t isMMX(void);
int32_t isSSE(void);
int32_t isSSE2(void);
int32_t isSSE3(void);
int32_t isSSSE3(void);
int32_t isSSE41(void);
int32_t isSSE42(void);

// Non-zero when the process runs as a 32-bit process under 64-bit emulation.
int32_t isWow64(void);

// Rates the processor's floating-point speed with the five SciMark 2.0
// kernels, each measured for at least 0.5 s at raised thread priority. Each
// non-null pointer receives its kernel's score in Mflops (FFT, SOR, Monte
// Carlo, sparse matrix product, LU), rounded half to even; returns the
// composite score (their mean) rounded the same way.
int32_t Scimark2(int32_t* fft, int32_t* sor, int32_t* monteCarlo, int32_t* sparse, int32_t* lu);

#ifdef __cplusplus
}

static_assert(sizeof(VideoAdapterInfo) == 260);
static_assert(offsetof(SystemInfo, osVersion) == 256);
static_assert(offsetof(SystemInfo, osMajor) == 512);
static_assert(offsetof(SystemInfo, osMinor) == 516);
static_assert(offsetof(SystemInfo, servicePack) == 520);
static_assert(offsetof(SystemInfo, memoryMB) == 524);
static_assert(offsetof(SystemInfo, cpuName) == 528);
static_assert(offsetof(SystemInfo, cpuManufacturer) == 784);
static_assert(offsetof(SystemInfo, cpuCaption) == 1040);
static_assert(offsetof(SystemInfo, cpuCount) == 1296);
static_assert(offsetof(SystemInfo, cpuClockMHz) == 1300);
static_assert(offsetof(SystemInfo, usb2Hosts) == 1304);
static_assert(offsetof(SystemInfo, usbViaHosts) == 1308);
static_assert(offsetof(SystemInfo, gigabitNics) == 1312);
static_assert(offsetof(SystemInfo, intelGigabitNics) == 1316);
static_assert(offsetof(SystemInfo, videoCount) == 1320);
static_assert(offsetof(SystemInfo, videoAdapters) == 1324);
static_assert(sizeof(SystemInfo) == 9644);
#endif
