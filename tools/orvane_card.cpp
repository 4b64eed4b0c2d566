// orvane-card: what a card ID maps to (identity, permuted identity, record
// key), login records encoded and decoded with the programs' own code, and
// the reader commands. Text in and out is UTF-8 on every platform.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "card/identity.h"
#include "platform/std/std_clock_random.h"
#include "platform/utf.h"
#include "store/login_record.h"
#include "tools/admin_commands.h"
#include "tools/cli_common.h"
#include "tools/reader_commands.h"

#ifdef _WIN32
#include "platform/win32/win_felica.h"
#include "platform/win32/win_registry.h"
#include "platform/win32/win_ui.h"
#include "platform/win32/winscard_smartcard.h"
#endif

namespace orvane {

namespace {

const char kUsage[] =
    "usage: orvane-card identity <card ID hex>\n"
    "       orvane-card record encode --identity <32 hex digits> --password P --user U "
    "--target T\n"
    "       orvane-card record decode --identity <32 hex digits> [--show-password] <data hex>\n"
    "       orvane-card readers\n"
    "       orvane-card poll [--for checker|setting]\n"
    "       orvane-card watch [--for checker|setting]\n"
    "       orvane-card records      (Windows) the login records of this PC\n"
    "       orvane-card doctor       (Windows) what would stop sign-in or the checker\n"
    "Hex may be upper or lower case, with or without spaces between bytes.\n"
    "records and doctor exit with 0 (all well), 1 (a flagged record, a WARN line),\n"
    "2 (bad arguments; no registry on this system) or 3 (a FAIL line; records key unreadable).\n";

int Usage(const std::string& problem) {
  if (!problem.empty()) WriteErr("orvane-card: " + problem + "\n");
  WriteErr(kUsage);
  return 2;
}

// Unicode code points of UTF-16 text (a surrogate pair is one).
std::size_t CodePoints(const char16_t* text) {
  std::size_t count = 0;
  for (std::size_t i = 0; text[i]; ++i) {
    const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && text[i + 1] >= 0xDC00 &&
                      text[i + 1] <= 0xDFFF;
    if (pair) ++i;
    ++count;
  }
  return count;
}

int IdentityCommand(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage("identity takes one card ID");
  std::vector<unsigned char> id;
  if (!ParseHex(args[0], id)) return Usage("the card ID is not hex: " + args[0]);
  // A longer ID contributes its first 16 bytes; a shorter one is filled.
  CardIdentity identity{};
  const int n = id.size() < identity.size() ? static_cast<int>(id.size()) : kIdentitySize;
  std::copy_n(id.begin(), n, identity.begin());  // id may be empty: no memcpy from null
  FillIdentity(identity, n);
  CardIdentity permuted{};
  PermuteIdentity(identity, permuted);
  WriteOut("identity: " + IdentityHex(identity) + "\n");
  WriteOut("permuted: " + IdentityHex(permuted) + "\n");
  WriteOut("record key: " + RecordKeyText(identity) + "\n");
  if (!IdentityIsValid(identity)) {
    WriteOut("no card: the identity is all zero\n");
    return 1;
  }
  return 0;
}

bool ParseIdentity(const std::string& text, CardIdentity& identity) {
  std::vector<unsigned char> bytes;
  if (!ParseHex(text, bytes) || bytes.size() != identity.size()) return false;
  std::memcpy(identity.data(), bytes.data(), identity.size());
  return true;
}

int EncodeCommand(const std::vector<std::string>& args) {
  std::string identityText, password, user, target;
  bool haveIdentity = false, havePassword = false, haveUser = false, haveTarget = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    std::string* slot = nullptr;
    bool* seen = nullptr;
    if (option == "--identity") {
      slot = &identityText;
      seen = &haveIdentity;
    } else if (option == "--password") {
      slot = &password;
      seen = &havePassword;
    } else if (option == "--user") {
      slot = &user;
      seen = &haveUser;
    } else if (option == "--target") {
      slot = &target;
      seen = &haveTarget;
    } else {
      return Usage("unknown argument: " + option);
    }
    if (i + 1 >= args.size()) return Usage(option + " needs a value");
    *slot = args[++i];
    *seen = true;
  }
  if (!haveIdentity || !havePassword || !haveUser || !haveTarget) {
    return Usage("record encode needs --identity, --password, --user and --target");
  }
  CardIdentity identity{};
  if (!ParseIdentity(identityText, identity)) {
    return Usage("the identity must be 16 bytes of hex: " + identityText);
  }
  std::u16string password16, user16, target16;
  if (!Utf8ToUtf16(password, password16) || !Utf8ToUtf16(user, user16) ||
      !Utf8ToUtf16(target, target16)) {
    return Usage("the text is not valid UTF-8");
  }
  if (!IdentityIsValid(identity)) {
    WriteErr("no card: the identity is all zero\n");
    return 1;
  }

  // As the settings program writes it: filler from the C library's
  // generator, seeded with the time.
  StdClock clock;
  StdRandom random;
  random.Seed(clock.SecondsSinceEpoch());
  unsigned char data[kMaxLoginData];
  const std::size_t total = BuildLoginPlaintext(password16.c_str(), user16.c_str(),
                                                target16.c_str(), random, data, sizeof data);
  SecureZero(&password16[0], password16.size() * sizeof(char16_t));
  if (total == 0) {
    WriteErr("too long: the three texts may have 118 UTF-16 code units in all\n");
    return 1;
  }
  CardIdentity permuted{};
  PermuteIdentity(identity, permuted);
  EncryptLoginData(identity, permuted, data, total);
  WriteOut("data: " + HexContiguous(data, total) + "\n");
  SecureZero(data, sizeof data);
  return 0;
}

int DecodeCommand(const std::vector<std::string>& args) {
  std::string identityText, dataText;
  bool haveIdentity = false, haveData = false, showPassword = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--identity") {
      if (i + 1 >= args.size()) return Usage("--identity needs a value");
      identityText = args[++i];
      haveIdentity = true;
    } else if (args[i] == "--show-password") {
      showPassword = true;
    } else if (args[i].compare(0, 2, "--") == 0 || haveData) {
      return Usage("unknown argument: " + args[i]);
    } else {
      dataText = args[i];
      haveData = true;
    }
  }
  if (!haveIdentity || !haveData) return Usage("record decode needs --identity and the data");
  CardIdentity identity{};
  if (!ParseIdentity(identityText, identity)) {
    return Usage("the identity must be 16 bytes of hex: " + identityText);
  }
  std::vector<unsigned char> data;
  if (!ParseHex(dataText, data)) return Usage("the data is not hex");

  CardIdentity permuted{};
  PermuteIdentity(identity, permuted);
  LoginStrings strings;
  // More than the programs accept decodes to nothing, as it does for them.
  if (!DecodeLoginData(identity, permuted, data.data(), data.size(), strings)) {
    WriteErr("no usable login data\n");
    return 1;
  }
  WriteOut("user: " + Utf16ToUtf8(strings.user) + "\n");
  WriteOut("target: " + Utf16ToUtf8(strings.target) + "\n");
  if (showPassword) {
    std::string password = Utf16ToUtf8(strings.password);
    WriteOut("password: " + password + "\n");
    SecureZero(&password[0], password.size());
  } else {
    const std::size_t count = CodePoints(strings.password);
    WriteOut("password: (" + std::to_string(count) +
             (count == 1 ? " character" : " characters") +
             ", hidden; --show-password shows it)\n");
  }
  return 0;
}

// records and doctor read the registry of this PC: the Windows build only.
int AdminCommand(const std::string& command, const std::vector<std::string>& rest) {
  if (!rest.empty()) return Usage(command + " takes no arguments");
#ifdef _WIN32
  WinRegistry registry;
  std::string out;
  int status;
  if (command == "records") {
    status = ListRecords(registry, out);
  } else {
    WinScardSmartCard smartCard;
    WinFelica felica;
    WinFiles files;
    CardAccess cards(Flavour::Setting, smartCard, felica);
    DoctorEnvironment env{registry, cards, files, sizeof(void*) == 4};
    status = RunDoctor(env, out);
  }
  WriteOut(out);
  return status;
#else
  WriteErr("orvane-card: " + command +
           " reads the Windows registry, and this system has none; run orvane-card.exe on the "
           "Windows PC\n");
  return kAdminUsage;
#endif
}

int Run(std::vector<std::string>& args, int argc, char** argv) {
  PrepareStandardStreams();
  if (args.size() < 2) return Usage("");
  const std::string& command = args[1];
  if (command == "help" || command == "--help" || command == "-h") {
    WriteOut(kUsage);
    return 0;
  }
  if (command == "readers" || command == "poll" || command == "watch") {
    return RunReaderCommand(argc - 1, argv + 1);
  }
  if (command == "records" || command == "doctor") {
    return AdminCommand(command, std::vector<std::string>(args.begin() + 2, args.end()));
  }
  if (command == "identity") {
    return IdentityCommand(std::vector<std::string>(args.begin() + 2, args.end()));
  }
  if (command == "record" && args.size() >= 3) {
    std::vector<std::string> rest(args.begin() + 3, args.end());
    if (args[2] == "encode") return EncodeCommand(rest);
    if (args[2] == "decode") return DecodeCommand(rest);
  }
  return Usage("unknown command: " + command);
}

}  // namespace

}  // namespace orvane

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  // UTF-16 arguments whatever the console code page; the commands take UTF-8.
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    const char16_t* arg = reinterpret_cast<const char16_t*>(argv[i]);
    args.push_back(orvane::Utf16ToUtf8(arg));
  }
  std::vector<char*> pointers;
  for (std::string& arg : args) pointers.push_back(&arg[0]);
  pointers.push_back(nullptr);
  return orvane::Run(args, argc, pointers.data());
}
#else
int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  return orvane::Run(args, argc, argv);
}
#endif
