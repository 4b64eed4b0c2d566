/* A stand-in felica.dll for tests: the five entry points, with the card taken
 * from a file so that a test can place, change and take away the card
 * between polls. Never installed, never shipped.
 *
 * ORVANE_TEST_FELICA_CARD names the card file, read afresh at every call:
 *   32 hex digits (IDm then PMm; spaces allowed)  one card
 *   missing or empty file, or variable unset       no card (polling fails)
 *   "fail-initialize"  initialize_library returns 0
 *   "fail-open"        open_reader_writer_auto returns 0
 *   "fail-polling"     polling_and_get_card_information returns 0
 *   "zero-cards"       polling succeeds and reports 0 cards
 *   anything else      polling fails
 * ORVANE_TEST_FELICA_LOG, when set, names a file to which every call appends
 * its entry point's name, one per line.
 *
 * Like a real reader library it refuses calls out of order (polling before
 * the reader is open, opening before initialising) and polling with other
 * than the wildcard system code FFh FFh and time slot 0, so that a caller
 * that breaks the sequence sees a failure. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "platform/win32/felica_abi.h"

#define FELICA_EXPORT __declspec(dllexport)

enum CardFile { CARD_NONE, CARD_ONE, FAIL_INITIALIZE, FAIL_OPEN, FAIL_POLLING, ZERO_CARDS, CARD_BAD };

static int g_initialized;
static int g_open;

static void LogCall(const char* name) {
  char path[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("ORVANE_TEST_FELICA_LOG", path, sizeof path);
  if (n == 0 || n >= sizeof path) return;
  FILE* f = fopen(path, "ab");
  if (!f) return;
  fprintf(f, "%s\n", name);
  fclose(f);
}

static int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/* Reads the card file; with CARD_ONE the 16 bytes IDm + PMm go to card. */
static enum CardFile ReadCardFile(unsigned char card[16]) {
  char path[MAX_PATH];
  char text[256];
  char word[64];
  DWORD n = GetEnvironmentVariableA("ORVANE_TEST_FELICA_CARD", path, sizeof path);
  if (n == 0 || n >= sizeof path) return CARD_NONE;
  FILE* f = fopen(path, "rb");
  if (!f) return CARD_NONE;
  size_t len = fread(text, 1, sizeof text - 1, f);
  fclose(f);
  text[len] = 0;

  /* The text without white space. */
  size_t w = 0;
  for (size_t i = 0; i < len && w < sizeof word - 1; ++i) {
    if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n') word[w++] = text[i];
  }
  word[w] = 0;
  if (w == 0) return CARD_NONE;
  if (strcmp(word, "fail-initialize") == 0) return FAIL_INITIALIZE;
  if (strcmp(word, "fail-open") == 0) return FAIL_OPEN;
  if (strcmp(word, "fail-polling") == 0) return FAIL_POLLING;
  if (strcmp(word, "zero-cards") == 0) return ZERO_CARDS;
  if (w != 32) return CARD_BAD;
  for (int i = 0; i < 16; ++i) {
    int hi = HexValue(word[2 * i]), lo = HexValue(word[2 * i + 1]);
    if (hi < 0 || lo < 0) return CARD_BAD;
    card[i] = (unsigned char)(hi * 16 + lo);
  }
  return CARD_ONE;
}

FELICA_EXPORT int FELICA_CALL initialize_library(void) {
  unsigned char card[16];
  LogCall(FELICA_INITIALIZE_LIBRARY);
  if (ReadCardFile(card) == FAIL_INITIALIZE) return 0;
  g_initialized = 1;
  return 1;
}

FELICA_EXPORT int FELICA_CALL open_reader_writer_auto(void) {
  unsigned char card[16];
  LogCall(FELICA_OPEN_READER_WRITER_AUTO);
  if (!g_initialized || ReadCardFile(card) == FAIL_OPEN) return 0;
  g_open = 1;
  return 1;
}

FELICA_EXPORT int FELICA_CALL polling_and_get_card_information(polling* polling_record,
                                                              unsigned char* number_of_cards,
                                                              card_information* card_info) {
  unsigned char card[16];
  LogCall(FELICA_POLLING_AND_GET_CARD_INFORMATION);
  if (!g_open || !polling_record || !number_of_cards || !card_info) return 0;
  if (!polling_record->system_code || polling_record->system_code[0] != 0xFF ||
      polling_record->system_code[1] != 0xFF || polling_record->time_slot != 0) {
    return 0;
  }
  switch (ReadCardFile(card)) {
    case ZERO_CARDS:
      *number_of_cards = 0;
      return 1;
    case CARD_ONE:
      if (!card_info->card_idm || !card_info->card_pmm) return 0;
      memcpy(card_info->card_idm, card, 8);
      memcpy(card_info->card_pmm, card + 8, 8);
      *number_of_cards = 1;
      return 1;
    default: /* no card, a failing poll, an unreadable card file */
      return 0;
  }
}

FELICA_EXPORT int FELICA_CALL close_reader_writer(void) {
  LogCall(FELICA_CLOSE_READER_WRITER);
  if (!g_open) return 0;
  g_open = 0;
  return 1;
}

FELICA_EXPORT int FELICA_CALL dispose_library(void) {
  LogCall(FELICA_DISPOSE_LIBRARY);
  if (!g_initialized) return 0;
  g_initialized = 0;
  g_open = 0;
  return 1;
}
