// The one wipe for buffers that held a password or half a record's key.
#ifndef ORVANE_STORE_SECURE_WIPE_H
#define ORVANE_STORE_SECURE_WIPE_H

#include <cstddef>

namespace orvane {

// Writes zeros the compiler may not drop.
void SecureZero(void* data, std::size_t size);

}  // namespace orvane

#endif
