#include "tests/contract/registry_contract.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace orvane {

const char16_t kRegistryContractKey[] = u"SOFTWARE\\OrvaneRegistryContract";

namespace {

using Bytes = std::vector<unsigned char>;

const char* Name(RegResult r) {
  switch (r) {
    case RegResult::Ok: return "Ok";
    case RegResult::NotFound: return "NotFound";
    case RegResult::MoreData: return "MoreData";
    case RegResult::AccessDenied: return "AccessDenied";
    case RegResult::Failed: return "Failed";
  }
  return "?";
}

std::string Narrow(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

Bytes Utf16(const std::u16string& s) {
  Bytes out;
  for (char16_t c : s) {
    out.push_back(static_cast<unsigned char>(c & 0xFF));
    out.push_back(static_cast<unsigned char>(c >> 8));
  }
  return out;
}

class Contract {
 public:
  Contract(RegistryPort& registry, ContractLog& log) : reg_(registry), log_(log) {}

  int failures() const { return failures_; }

  void Run(RegRoot root) {
    root_ = root;
    other_ = root == RegRoot::LocalMachine ? RegRoot::CurrentUser : RegRoot::LocalMachine;
    group_ = root == RegRoot::LocalMachine ? "HKLM" : "HKCU";
    RemoveTree(root_, kRegistryContractKey);
    RemoveTree(other_, kRegistryContractKey);
    Keys();
    Values();
    QuerySizes();
    ErrorCodes();
    AccessRights();
    Enumeration();
    Deletion();
    RemoveTree(root_, kRegistryContractKey);
    Expect(Open(root_, u"", RegAccess::QueryValue) == RegResult::NotFound,
           "the scratch key is gone afterwards", "");
  }

 private:
  // --- checking -----------------------------------------------------------

  void Expect(bool ok, const char* what, const std::string& detail) {
    if (ok) {
      log_.Pass(group_, what);
    } else {
      ++failures_;
      log_.Fail(group_, what, detail.c_str());
    }
  }
  void ExpectResult(RegResult got, RegResult want, const char* what) {
    Expect(got == want, what, std::string("got ") + Name(got) + ", expected " + Name(want));
  }
  void ExpectNumber(uint32_t got, uint32_t want, const char* what) {
    char detail[64];
    std::snprintf(detail, sizeof detail, "got %lu, expected %lu", static_cast<unsigned long>(got),
                  static_cast<unsigned long>(want));
    Expect(got == want, what, detail);
  }

  // --- helpers on the scratch key ------------------------------------------

  std::u16string Path(const std::u16string& sub) const {
    return sub.empty() ? std::u16string(kRegistryContractKey)
                       : std::u16string(kRegistryContractKey) + u"\\" + sub;
  }
  RegResult Open(RegRoot root, const std::u16string& sub, RegAccess access,
                 RegKeyHandle* out = nullptr) {
    RegKeyHandle key = 0;
    RegResult r = reg_.OpenKey(root, Path(sub).c_str(), access, &key);
    if (r == RegResult::Ok) {
      if (out != nullptr)
        *out = key;
      else
        reg_.CloseKey(key);
    }
    return r;
  }
  RegResult Create(const std::u16string& sub, RegKeyHandle* out = nullptr) {
    RegKeyHandle key = 0;
    RegResult r = reg_.CreateKey(root_, Path(sub).c_str(), &key);
    if (r == RegResult::Ok) {
      if (out != nullptr)
        *out = key;
      else
        reg_.CloseKey(key);
    }
    return r;
  }
  RegResult Set(RegKeyHandle key, const char16_t* name, uint32_t type, const Bytes& bytes) {
    return reg_.SetValue(key, name, type, bytes.empty() ? nullptr : bytes.data(),
                         static_cast<uint32_t>(bytes.size()));
  }
  // Reads a value whole through a buffer of `capacity` bytes.
  RegResult Get(RegKeyHandle key, const char16_t* name, uint32_t capacity, uint32_t* type,
                Bytes* bytes, uint32_t* size) {
    Bytes buffer(capacity + 1, 0xEE);  // never a zero-length vector's null data()
    *size = capacity;
    *type = 0xDEAD;
    RegResult r = reg_.QueryValue(key, name, type, buffer.data(), size);
    if (r == RegResult::Ok && bytes != nullptr) bytes->assign(buffer.begin(), buffer.begin() + *size);
    return r;
  }

  // Deletes a key with everything below it, depth first (RegDeleteKeyW only
  // deletes leaves).
  void RemoveTree(RegRoot root, const std::u16string& path) {
    for (int guard = 0; guard < 1000; ++guard) {
      RegKeyHandle key = 0;
      if (reg_.OpenKey(root, path.c_str(), RegAccess::Enumerate, &key) != RegResult::Ok) return;
      char16_t name[512];
      uint32_t length = 512;
      RegResult r = reg_.EnumKey(key, 0, name, &length);
      reg_.CloseKey(key);
      if (r != RegResult::Ok) break;
      RemoveTree(root, path + u"\\" + std::u16string(name, length));
    }
    reg_.DeleteKey(root, path.c_str());
  }

  // --- the cases ------------------------------------------------------------

  void Keys() {
    ExpectResult(Open(root_, u"", RegAccess::QueryValue), RegResult::NotFound,
                 "opening a missing key is NotFound");
    ExpectResult(Open(root_, u"Parent\\Child", RegAccess::QueryValue), RegResult::NotFound,
                 "opening below a missing parent is NotFound");
    ExpectResult(Create(u"Parent\\Child"), RegResult::Ok, "creating a key creates its parents");
    ExpectResult(Open(root_, u"Parent", RegAccess::QueryValue), RegResult::Ok,
                 "the created parent opens");
    ExpectResult(Open(root_, u"PARENT\\child", RegAccess::QueryValue), RegResult::Ok,
                 "key names are case-insensitive");
    ExpectResult(Create(u"Parent\\Child"), RegResult::Ok, "creating an existing key opens it");
    ExpectResult(Open(other_, u"", RegAccess::QueryValue), RegResult::NotFound,
                 "a key under one root is not under the other");
    // Longer names are refused by Windows' documented limit; Wine takes 256,
    // so only the longest name both accept is part of the contract.
    const std::u16string longest(255, u'k');
    ExpectResult(Create(longest), RegResult::Ok, "a key name of 255 characters is taken");
    reg_.DeleteKey(root_, Path(longest).c_str());
  }

  struct StoredValue {
    const char* what;
    const char16_t* name;
    uint32_t type;
    Bytes bytes;        // what SetValue is given
    Bytes stored = {};  // what the registry keeps, when not the same
    // The code unit in memory right after the bytes given (see Values).
    char16_t follows = 0xFFFF;
    const Bytes& Kept() const { return stored.empty() ? bytes : stored; }
  };

  std::vector<StoredValue> Samples() const {
    Bytes big(2048);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<unsigned char>(i * 7);
    return {
        {"REG_BINARY of 5 bytes", u"binary", regtype::kBinary, {1, 2, 3, 4, 5}},
        {"REG_BINARY of 0 bytes", u"empty", regtype::kBinary, {}},
        {"REG_BINARY of 2048 bytes", u"big", regtype::kBinary, big},
        {"REG_DWORD", u"dword", regtype::kDword, {0x78, 0x56, 0x34, 0x12}},
        {"REG_QWORD", u"qword", regtype::kQword, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"REG_SZ without terminator", u"text", regtype::kSz, Utf16(u"abc")},
        // Windows counts a terminator the caller left out when it lies right
        // after the bytes given, so a writer that stores text without one
        // must not have a zero there.
        {"REG_SZ without terminator, a zero after it in memory", u"zeroAfter", regtype::kSz,
         Utf16(u"abc"), Utf16(std::u16string(u"abc") + u'\0'), 0},
        {"REG_EXPAND_SZ without terminator, a zero after it in memory", u"expand",
         regtype::kExpandSz, Utf16(u"%x%"), Utf16(std::u16string(u"%x%") + u'\0'), 0},
        {"REG_SZ with terminator", u"zText", regtype::kSz, Utf16(std::u16string(u"ab") + u'\0'),
         {}, 0},
        {"REG_BINARY with a zero after it in memory", u"binaryZero", regtype::kBinary,
         {'a', 0, 'b', 0}, {}, 0},
        {"REG_SZ of an odd byte count", u"odd", regtype::kSz, {'a', 0, 'b'}},
        {"REG_SZ of 0 bytes", u"emptyText", regtype::kSz, {}},
        {"REG_SZ in Japanese", u"japanese", regtype::kSz, Utf16(u"\u30AB\u30FC\u30C9")},
        {"REG_DWORD of 2 bytes", u"shortDword", regtype::kDword, {1, 0}},
        {"the default value", u"", regtype::kSz, Utf16(u"default")},
    };
  }

  void Values() {
    RegKeyHandle write = 0;
    if (Create(u"Values", &write) != RegResult::Ok) {
      Expect(false, "create the key for values", "");
      return;
    }
    for (const StoredValue& v : Samples()) {
      // The bytes given, then the unit that follows them in memory.
      Bytes memory = v.bytes;
      memory.push_back(static_cast<unsigned char>(v.follows & 0xFF));
      memory.push_back(static_cast<unsigned char>(v.follows >> 8));
      ExpectResult(reg_.SetValue(write, v.name, v.type, memory.data(),
                                 static_cast<uint32_t>(v.bytes.size())),
                   RegResult::Ok, v.what);
    }
    reg_.CloseKey(write);

    RegKeyHandle read = 0;
    ExpectResult(Open(root_, u"Values", RegAccess::QueryValue, &read), RegResult::Ok,
                 "open the values for querying");
    for (const StoredValue& v : Samples()) {
      uint32_t type = 0, size = 0;
      Bytes bytes;
      RegResult r = Get(read, v.name, 4096, &type, &bytes, &size);
      const std::string what = std::string(v.what) + ": type, byte count and bytes kept";
      Expect(r == RegResult::Ok && type == v.type && bytes == v.Kept(), what.c_str(),
             std::string(Name(r)) + ", type " + std::to_string(type) + ", " +
                 std::to_string(size) + " bytes, expected " + std::to_string(v.Kept().size()));
      // Asking only for the size and type.
      uint32_t sizeOnly = 0, typeOnly = 0;
      r = reg_.QueryValue(read, v.name, &typeOnly, nullptr, &sizeOnly);
      const std::string sizeWhat = std::string(v.what) + ": a null buffer asks for the size";
      Expect(r == RegResult::Ok && sizeOnly == v.Kept().size() && typeOnly == v.type,
             sizeWhat.c_str(),
             std::string(Name(r)) + ", " + std::to_string(sizeOnly) + " bytes, type " +
                 std::to_string(typeOnly));
    }
    ExpectResult(reg_.QueryValue(read, u"dword", nullptr, nullptr, nullptr), RegResult::Ok,
                 "a value exists: no type, buffer or size asked");

    uint32_t type = 0, size = 0;
    Bytes bytes;
    ExpectResult(Get(read, u"DWORD", 4, &type, &bytes, &size), RegResult::Ok,
                 "value names are case-insensitive");
    ExpectResult(Get(read, u"missing", 16, &type, &bytes, &size), RegResult::NotFound,
                 "a missing value is NotFound");
    ExpectResult(Open(root_, u"Values\\missing", RegAccess::QueryValue), RegResult::NotFound,
                 "a missing key beside values is NotFound");

    // The terminator-less text reads back with exactly its own bytes; a
    // buffer with room for more gets a zero unit after them, not counted.
    struct RoomCase {
      const char* what;
      const char16_t* name;
      uint32_t capacity;
      uint32_t size;
      int after;  // byte value at size and size + 1, -1 when not looked at
    };
    const RoomCase rooms[] = {
        {"REG_SZ without terminator, room for one: zero after the bytes, not counted", u"text",
         8, 6, 0},
        {"REG_SZ without terminator, one byte of room: nothing written after", u"text", 7, 6,
         0xEE},
        {"REG_SZ of an odd byte count, room for more: size unchanged", u"odd", 16, 3, -1},
        {"REG_BINARY, room for more: nothing written after", u"binaryZero", 16, 4, 0xEE},
    };
    for (const RoomCase& c : rooms) {
      Bytes roomy(c.capacity + 2, 0xEE);
      size = c.capacity;
      RegResult r = reg_.QueryValue(read, c.name, &type, roomy.data(), &size);
      const bool afterOk =
          c.after < 0 ||
          (c.after == 0 ? roomy[c.size] == 0 && roomy[c.size + 1] == 0 : roomy[c.size] == 0xEE);
      Expect(r == RegResult::Ok && size == c.size && afterOk, c.what,
             std::string(Name(r)) + ", " + std::to_string(size) + " bytes, then " +
                 std::to_string(roomy[c.size]) + " " + std::to_string(roomy[c.size + 1]));
    }
    reg_.CloseKey(read);

    // Overwriting changes type and size; deleting makes the value missing.
    ExpectResult(Open(root_, u"Values", RegAccess::Write, &write), RegResult::Ok,
                 "open the values for writing");
    ExpectResult(Set(write, u"Dword", regtype::kBinary, {9, 8}), RegResult::Ok,
                 "overwrite a DWORD with 2 bytes of binary");
    ExpectResult(reg_.DeleteValue(write, u"BINARY"), RegResult::Ok,
                 "delete a value (case-insensitive name)");
    ExpectResult(reg_.DeleteValue(write, u"binary"), RegResult::NotFound,
                 "delete the same value again");
    ExpectResult(reg_.DeleteValue(write, u"never"), RegResult::NotFound,
                 "delete a value that never was");
    reg_.CloseKey(write);
    ExpectResult(Open(root_, u"Values", RegAccess::QueryValue, &read), RegResult::Ok,
                 "reopen the values");
    RegResult r = Get(read, u"dword", 16, &type, &bytes, &size);
    Expect(r == RegResult::Ok && type == regtype::kBinary && bytes == Bytes{9, 8},
           "the overwritten value has its new type and size",
           std::string(Name(r)) + ", type " + std::to_string(type) + ", " + std::to_string(size) +
               " bytes");
    ExpectResult(Get(read, u"binary", 16, &type, &bytes, &size), RegResult::NotFound,
                 "a deleted value is NotFound");
    reg_.CloseKey(read);
  }

  void QuerySizes() {
    RegKeyHandle read = 0;
    if (Open(root_, u"Values", RegAccess::QueryValue, &read) != RegResult::Ok) {
      Expect(false, "open the values for the size cases", "");
      return;
    }
    struct SizeCase {
      const char* what;
      const char16_t* name;
      uint32_t capacity;
      RegResult result;
      uint32_t size;  // *size on return
    };
    const SizeCase cases[] = {
        {"a buffer one byte short is MoreData with the size needed", u"text", 5,
         RegResult::MoreData, 6},
        {"a buffer of exactly the size is Ok", u"text", 6, RegResult::Ok, 6},
        {"a buffer of 0 bytes is MoreData with the size needed", u"qword", 0,
         RegResult::MoreData, 8},
        {"a QWORD into 4 bytes is MoreData with 8", u"qword", 4, RegResult::MoreData, 8},
        {"2048 bytes into 260 is MoreData with 2048", u"big", 260, RegResult::MoreData, 2048},
        {"a 0-byte value into 0 bytes is Ok", u"empty", 0, RegResult::Ok, 0},
        {"a 2-byte DWORD into 4 bytes is Ok with 2", u"shortDword", 4, RegResult::Ok, 2},
    };
    for (const SizeCase& c : cases) {
      uint32_t type = 0, size = 0;
      RegResult r = Get(read, c.name, c.capacity, &type, nullptr, &size);
      Expect(r == c.result && size == c.size, c.what,
             std::string("got ") + Name(r) + " with " + std::to_string(size) + " bytes");
    }
    reg_.CloseKey(read);
  }

  // LastError: the Win32 code of the last failed call, which the programs
  // log; a success in between leaves it as it was.
  void ErrorCodes() {
    RegKeyHandle query = 0, list = 0;
    if (Open(root_, u"Values", RegAccess::QueryValue, &query) != RegResult::Ok ||
        Open(root_, u"Values", RegAccess::Enumerate, &list) != RegResult::Ok) {
      Expect(false, "open the values for the error codes", "");
      if (query) reg_.CloseKey(query);
      return;
    }
    const unsigned char byte = 1;
    unsigned char buffer[8];
    char16_t name[64];
    struct CodeCase {
      const char* what;
      std::function<RegResult()> call;
      uint32_t code;
    };
    const CodeCase cases[] = {
        {"a missing key gives 2 (ERROR_FILE_NOT_FOUND)",
         [&] { return Open(root_, u"Values\\missing", RegAccess::QueryValue); }, 2},
        {"a missing value gives 2",
         [&] {
           uint32_t type = 0, size = sizeof buffer;
           return reg_.QueryValue(query, u"missing", &type, buffer, &size);
         },
         2},
        {"a short buffer gives 234 (ERROR_MORE_DATA)",
         [&] {
           uint32_t type = 0, size = 1;
           return reg_.QueryValue(query, u"text", &type, buffer, &size);
         },
         234},
        {"a success keeps the last failure's code",
         [&] {
           uint32_t type = 0, size = sizeof buffer;
           return reg_.QueryValue(query, u"text", &type, buffer, &size);
         },
         234},
        {"a write through a key opened for querying gives 5 (ERROR_ACCESS_DENIED)",
         [&] { return reg_.SetValue(query, u"x", regtype::kBinary, &byte, 1); }, 5},
        {"past the last sub-key gives 259 (ERROR_NO_MORE_ITEMS)",
         [&] {
           uint32_t length = 64;
           return reg_.EnumKey(list, 1000, name, &length);
         },
         259},
    };
    for (const CodeCase& c : cases) {
      const RegResult r = c.call();
      Expect(reg_.LastError() == c.code, c.what,
             std::string(Name(r)) + ", code " + std::to_string(reg_.LastError()));
    }
    reg_.CloseKey(query);
    reg_.CloseKey(list);
  }

  void AccessRights() {
    RegKeyHandle key = 0;
    const unsigned char byte = 1;
    uint32_t type = 0, size = 0;
    unsigned char buffer[8];
    char16_t name[64];
    uint32_t length = 64;

    if (Open(root_, u"Values", RegAccess::QueryValue, &key) == RegResult::Ok) {
      ExpectResult(reg_.SetValue(key, u"x", regtype::kBinary, &byte, 1), RegResult::AccessDenied,
                   "a key opened for querying refuses SetValue");
      ExpectResult(reg_.DeleteValue(key, u"dword"), RegResult::AccessDenied,
                   "a key opened for querying refuses DeleteValue");
      length = 64;
      ExpectResult(reg_.EnumKey(key, 0, name, &length), RegResult::AccessDenied,
                   "a key opened for querying refuses EnumKey");
      reg_.CloseKey(key);
    }
    if (Create(u"Values", &key) == RegResult::Ok) {
      size = sizeof buffer;
      ExpectResult(reg_.QueryValue(key, u"dword", &type, buffer, &size), RegResult::AccessDenied,
                   "a key opened for writing refuses QueryValue");
      length = 64;
      ExpectResult(reg_.EnumKey(key, 0, name, &length), RegResult::AccessDenied,
                   "a key opened for writing refuses EnumKey");
      reg_.CloseKey(key);
    }
    if (Open(root_, u"Values", RegAccess::Write, &key) == RegResult::Ok) {
      size = sizeof buffer;
      ExpectResult(reg_.QueryValue(key, u"dword", &type, buffer, &size), RegResult::AccessDenied,
                   "OpenKey for Write refuses QueryValue too");
      reg_.CloseKey(key);
    }
    if (Open(root_, u"Values", RegAccess::Enumerate, &key) == RegResult::Ok) {
      size = sizeof buffer;
      ExpectResult(reg_.QueryValue(key, u"dword", &type, buffer, &size), RegResult::Ok,
                   "a key opened for enumerating also reads values");
      ExpectResult(reg_.SetValue(key, u"x", regtype::kBinary, &byte, 1), RegResult::AccessDenied,
                   "a key opened for enumerating refuses SetValue");
      reg_.CloseKey(key);
    }
  }

  void Enumeration() {
    // Created out of order; listed in case-insensitive order, as spelled.
    for (const char16_t* sub : {u"List\\b", u"List\\c_1", u"List\\A", u"List\\C0"})
      ExpectResult(Create(sub), RegResult::Ok, "create a key to list");
    ExpectResult(Create(u"Empty"), RegResult::Ok, "create a key without sub-keys");

    RegKeyHandle key = 0;
    if (Open(root_, u"List", RegAccess::Enumerate, &key) != RegResult::Ok) {
      Expect(false, "open the list for enumerating", "");
      return;
    }
    std::u16string listed;
    uint32_t index = 0;
    for (; index < 10; ++index) {
      char16_t name[256];
      uint32_t length = 256;
      RegResult r = reg_.EnumKey(key, index, name, &length);
      if (r != RegResult::Ok) {
        ExpectResult(r, RegResult::NotFound, "past the last sub-key is NotFound");
        break;
      }
      if (length >= 256 || name[length] != 0) {
        Expect(false, "the name's length leaves out its terminator", "");
        break;
      }
      listed += std::u16string(name, length) + u",";
    }
    Expect(listed == u"A,b,C0,c_1,", "sub-keys listed in case-insensitive order, as spelled",
           "listed " + Narrow(listed));

    char16_t name[8];
    uint32_t length = 5;  // "c_1" needs 4
    RegResult r = reg_.EnumKey(key, 3, name, &length);
    Expect(r == RegResult::Ok && length == 3, "a name buffer of length + 1 is enough",
           std::string(Name(r)) + ", length " + std::to_string(length));
    length = 3;
    ExpectResult(reg_.EnumKey(key, 3, name, &length), RegResult::MoreData,
                 "a name buffer without room for the terminator is MoreData");
    reg_.CloseKey(key);

    if (Open(root_, u"Empty", RegAccess::Enumerate, &key) == RegResult::Ok) {
      length = 8;
      ExpectResult(reg_.EnumKey(key, 0, name, &length), RegResult::NotFound,
                   "a key without sub-keys lists nothing");
      reg_.CloseKey(key);
    }
  }

  void Deletion() {
    ExpectResult(reg_.DeleteKey(root_, Path(u"List").c_str()), RegResult::AccessDenied,
                 "a key with sub-keys is not deleted");
    ExpectResult(Open(root_, u"List\\b", RegAccess::QueryValue), RegResult::Ok,
                 "its sub-keys are still there");
    ExpectResult(reg_.DeleteKey(root_, Path(u"List\\nothing").c_str()), RegResult::NotFound,
                 "deleting a missing key is NotFound");
    ExpectResult(reg_.DeleteKey(root_, Path(u"gone\\nothing").c_str()), RegResult::NotFound,
                 "deleting below a missing parent is NotFound");

    RegKeyHandle held = 0;
    ExpectResult(Open(root_, u"Values", RegAccess::QueryValue, &held), RegResult::Ok,
                 "hold the values key open");
    ExpectResult(reg_.DeleteKey(root_, Path(u"VALUES").c_str()), RegResult::Ok,
                 "a key with values and no sub-keys is deleted (case-insensitive name)");
    ExpectResult(Open(root_, u"Values", RegAccess::QueryValue), RegResult::NotFound,
                 "a deleted key is NotFound");
    uint32_t type = 0, size = 4;
    unsigned char buffer[4];
    ExpectResult(reg_.QueryValue(held, u"dword", &type, buffer, &size), RegResult::Failed,
                 "a handle to a deleted key fails");
    reg_.CloseKey(held);
    ExpectResult(Create(u"Values"), RegResult::Ok, "a deleted key can be created again");
    RegKeyHandle fresh = 0;
    if (Open(root_, u"Values", RegAccess::QueryValue, &fresh) == RegResult::Ok) {
      size = 4;
      ExpectResult(reg_.QueryValue(fresh, u"dword", &type, buffer, &size), RegResult::NotFound,
                   "and comes back without its old values");
      reg_.CloseKey(fresh);
    }
  }

  RegistryPort& reg_;
  ContractLog& log_;
  RegRoot root_ = RegRoot::LocalMachine;
  RegRoot other_ = RegRoot::CurrentUser;
  const char* group_ = "";
  int failures_ = 0;
};

}  // namespace

int RunRegistryContract(RegistryPort& registry, ContractLog& log) {
  Contract contract(registry, log);
  contract.Run(RegRoot::LocalMachine);
  contract.Run(RegRoot::CurrentUser);
  return contract.failures();
}

}  // namespace orvane
