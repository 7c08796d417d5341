/* The adapters the fake graphics libraries pretend to have, read from the environment:
 *
 *   ZYR_FAKE_ADAPTERS     adapters in high-performance order, separated by ";", each
 *                         "hardware:<level>" or "software:<level>", <level> the highest
 *                         feature level it supports in hexadecimal (b000 is 11_0).
 *   ZYR_FAKE_GRAPHICS_LOG a file to which every call the launcher makes is appended.
 */
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "common/windows_api.h"

#define FAKE_MAX_ADAPTERS 8

typedef struct FakeAdapterSpec {
  int software;
  unsigned max_level;
} FakeAdapterSpec;

/* Number of adapters read into `specs`. */
static inline int fake_adapter_specs(FakeAdapterSpec* specs) {
  char text[512];
  DWORD length = GetEnvironmentVariableA("ZYR_FAKE_ADAPTERS", text, sizeof(text));
  if (length == 0 || length >= sizeof(text)) {
    return 0;
  }
  int count = 0;
  for (char* entry = strtok(text, ";"); entry != NULL && count < FAKE_MAX_ADAPTERS;
       entry = strtok(NULL, ";")) {
    char* colon = strchr(entry, ':');
    if (colon == NULL) {
      continue;
    }
    specs[count].software = strncmp(entry, "software", (size_t)(colon - entry)) == 0;
    specs[count].max_level = (unsigned)strtoul(colon + 1, NULL, 16);
    ++count;
  }
  return count;
}

static inline void fake_graphics_log(const char* line) {
  char path[MAX_PATH];
  DWORD length = GetEnvironmentVariableA("ZYR_FAKE_GRAPHICS_LOG", path, sizeof(path));
  if (length == 0 || length >= sizeof(path)) {
    return;
  }
  FILE* file = fopen(path, "a");
  if (file != NULL) {
    fprintf(file, "%s\n", line);
    fclose(file);
  }
}
