/* Loads a felica.dll, runs the library sequence of one poll (initialize,
 * open, polling, close, dispose) and prints what each entry point returns:
 *
 *   felica-probe [PATH]   (default: felica.dll beside the probe)
 *
 * Every step is called whatever the earlier ones returned, so that a test
 * sees each answer. Exit 0 when all five entry points were found, 1 when the
 * library did not load or lacks one. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "platform/win32/felica_abi.h"

static void PrintBytes(const char* label, const unsigned char* b) {
  printf(" %s=", label);
  for (int i = 0; i < 8; ++i) printf("%02X", b[i]);
}

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : "felica.dll";
  HMODULE lib = LoadLibraryA(path);
  if (!lib) {
    printf("load failed: %lu\n", (unsigned long)GetLastError());
    return 1;
  }
  initialize_library_fn initialize = (initialize_library_fn)(void*)GetProcAddress(lib, FELICA_INITIALIZE_LIBRARY);
  open_reader_writer_auto_fn open = (open_reader_writer_auto_fn)(void*)GetProcAddress(lib, FELICA_OPEN_READER_WRITER_AUTO);
  dispose_library_fn dispose = (dispose_library_fn)(void*)GetProcAddress(lib, FELICA_DISPOSE_LIBRARY);
  polling_and_get_card_information_fn poll =
      (polling_and_get_card_information_fn)(void*)GetProcAddress(lib, FELICA_POLLING_AND_GET_CARD_INFORMATION);
  close_reader_writer_fn close = (close_reader_writer_fn)(void*)GetProcAddress(lib, FELICA_CLOSE_READER_WRITER);
  int missing = 0;
  const char* names[5] = {FELICA_INITIALIZE_LIBRARY, FELICA_OPEN_READER_WRITER_AUTO, FELICA_DISPOSE_LIBRARY,
                          FELICA_POLLING_AND_GET_CARD_INFORMATION, FELICA_CLOSE_READER_WRITER};
  void* found[5] = {(void*)initialize, (void*)open, (void*)dispose, (void*)poll, (void*)close};
  for (int i = 0; i < 5; ++i) {
    if (!found[i]) {
      printf("missing %s\n", names[i]);
      missing = 1;
    }
  }
  if (missing) return 1;

  printf("initialize_library: %d\n", initialize());
  printf("open_reader_writer_auto: %d\n", open());
  unsigned char system_code[2] = {0xFF, 0xFF};
  unsigned char idm[8], pmm[8];
  memset(idm, 0, sizeof idm);
  memset(pmm, 0, sizeof pmm);
  polling record = {system_code, 0};
  card_information info = {idm, pmm};
  unsigned char cards = 0;
  int r = poll(&record, &cards, &info);
  printf("polling_and_get_card_information: %d cards=%u", r, (unsigned)cards);
  PrintBytes("idm", idm);
  PrintBytes("pmm", pmm);
  printf("\n");
  printf("close_reader_writer: %d\n", close());
  printf("dispose_library: %d\n", dispose());
  FreeLibrary(lib);
  return 0;
}
