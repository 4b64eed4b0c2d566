/* The binary interface of felica.dll as Orvane uses it: the two records passed
   to polling_and_get_card_information and the five entry points. Plain C so
   that a test library can be built from the same header. Every entry point
   uses the default C calling convention and returns a BOOL-like int: non-zero
   for success. */
#ifndef ORVANE_PLATFORM_WIN32_FELICA_ABI_H
#define ORVANE_PLATFORM_WIN32_FELICA_ABI_H

#if defined(_WIN32)
#define FELICA_CALL __cdecl
#else
#define FELICA_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Polling record: system_code points at a 2-byte system code (FFh FFh: any
   system); time_slot 0 asks for one time slot. */
typedef struct polling {
  unsigned char* system_code;
  unsigned char time_slot;
} polling;

/* Card information record: the library writes the card's 8-byte IDm to
   card_idm and its 8-byte PMm to card_pmm. */
typedef struct card_information {
  unsigned char* card_idm;
  unsigned char* card_pmm;
} card_information;

typedef int(FELICA_CALL* initialize_library_fn)(void);
typedef int(FELICA_CALL* open_reader_writer_auto_fn)(void);
typedef int(FELICA_CALL* dispose_library_fn)(void);
/* number_of_cards receives how many cards were found; on success with a
   count above 0 the first card's IDm and PMm were written. */
typedef int(FELICA_CALL* polling_and_get_card_information_fn)(polling* polling_record,
                                                               unsigned char* number_of_cards,
                                                               card_information* card_info);
typedef int(FELICA_CALL* close_reader_writer_fn)(void);

/* Entry-point names as exported (undecorated). */
#define FELICA_INITIALIZE_LIBRARY "initialize_library"
#define FELICA_OPEN_READER_WRITER_AUTO "open_reader_writer_auto"
#define FELICA_DISPOSE_LIBRARY "dispose_library"
#define FELICA_POLLING_AND_GET_CARD_INFORMATION "polling_and_get_card_information"
#define FELICA_CLOSE_READER_WRITER "close_reader_writer"

#ifdef __cplusplus
}
#endif

#endif
