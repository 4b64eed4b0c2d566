/* The PC/SC bridge's messages, shared by its two halves (the native bridge
 * and the test winscard.dll): operation numbers and a bounded little-endian
 * codec. A test fixture: never shipped. */
#ifndef ORVANE_TESTS_BRIDGE_WIRE_H
#define ORVANE_TESTS_BRIDGE_WIRE_H

#include <stdint.h>
#include <string.h>

enum { OP_ESTABLISH = 1, OP_LIST, OP_CONNECT, OP_STATUS, OP_TRANSMIT, OP_DISCONNECT, OP_RELEASE };

typedef struct {
  unsigned char* data;
  uint32_t size, used;
  int bad; /* a read or write past the end */
} Buf;

static void PutU32(Buf* b, uint32_t v) {
  if (b->used + 4 > b->size) { b->bad = 1; return; }
  for (int i = 0; i < 4; ++i) b->data[b->used++] = (unsigned char)(v >> (8 * i));
}
static void PutU64(Buf* b, uint64_t v) {
  PutU32(b, (uint32_t)v);
  PutU32(b, (uint32_t)(v >> 32));
}
static void PutBytes(Buf* b, const void* p, uint32_t n) {
  PutU32(b, n);
  if (b->bad || n > b->size - b->used) { b->bad = 1; return; }
  memcpy(b->data + b->used, p, n);
  b->used += n;
}
static uint32_t GetU32(Buf* b) {
  if (b->used + 4 > b->size) { b->bad = 1; return 0; }
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= (uint32_t)b->data[b->used++] << (8 * i);
  return v;
}
static uint64_t GetU64(Buf* b) {
  uint64_t lo = GetU32(b);
  return lo | ((uint64_t)GetU32(b) << 32);
}
/* Points at n bytes inside the message; NULL (and n 0) when they are not all there. */
static const unsigned char* GetBytes(Buf* b, uint32_t* n) {
  *n = GetU32(b);
  if (b->bad || *n > b->size - b->used) { b->bad = 1; *n = 0; return NULL; }
  const unsigned char* p = b->data + b->used;
  b->used += *n;
  return p;
}

#endif
