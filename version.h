// The product's version, once: both programs' version resources and the
// installer take it from here (the installer script reads these lines).
#ifndef ORVANE_VERSION_H
#define ORVANE_VERSION_H

#define ORVANE_VERSION_MAJOR 1
#define ORVANE_VERSION_MINOR 0
#define ORVANE_VERSION_PATCH 0
#define ORVANE_VERSION_BUILD 0

#define ORVANE_VERSION_STR_(x) #x
#define ORVANE_VERSION_STR(x) ORVANE_VERSION_STR_(x)
#define ORVANE_VERSION_TEXT                                                     \
  ORVANE_VERSION_STR(ORVANE_VERSION_MAJOR) "." ORVANE_VERSION_STR(ORVANE_VERSION_MINOR) "." \
  ORVANE_VERSION_STR(ORVANE_VERSION_PATCH) "." ORVANE_VERSION_STR(ORVANE_VERSION_BUILD)
#define ORVANE_VERSION_RC \
  ORVANE_VERSION_MAJOR, ORVANE_VERSION_MINOR, ORVANE_VERSION_PATCH, ORVANE_VERSION_BUILD

#endif
