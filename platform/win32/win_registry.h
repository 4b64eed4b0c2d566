// RegistryPort on the Win32 registry. Names no registry view: a 32-bit
// program sees the 32-bit view of HKEY_LOCAL_MACHINE\SOFTWARE, as the logon
// component expects.
#ifndef ORVANE_PLATFORM_WIN32_WIN_REGISTRY_H
#define ORVANE_PLATFORM_WIN32_WIN_REGISTRY_H

#include "platform/registry_port.h"

namespace orvane {

class WinRegistry : public RegistryPort {
 public:
  RegResult OpenKey(RegRoot root, const char16_t* path, RegAccess access,
                    RegKeyHandle* key) override;
  RegResult CreateKey(RegRoot root, const char16_t* path, RegKeyHandle* key) override;
  RegResult QueryValue(RegKeyHandle key, const char16_t* name, uint32_t* type,
                       unsigned char* data, uint32_t* size) override;
  RegResult SetValue(RegKeyHandle key, const char16_t* name, uint32_t type,
                     const unsigned char* data, uint32_t size) override;
  RegResult DeleteValue(RegKeyHandle key, const char16_t* name) override;
  RegResult DeleteKey(RegRoot root, const char16_t* path) override;
  RegResult EnumKey(RegKeyHandle key, uint32_t index, char16_t* name,
                    uint32_t* length) override;
  void CloseKey(RegKeyHandle key) override;
  uint32_t LastError() const override { return last_; }

 private:
  // Maps a status, keeping it when it is a failure.
  RegResult Keep(long status);
  uint32_t last_ = 0;
};

}  // namespace orvane

#endif
