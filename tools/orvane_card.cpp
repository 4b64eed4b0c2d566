// orvane-card: what a card ID maps to (identity, permuted identity, record
// key), login records encoded and decoded with the programs' own code, and
// the reader commands. Text in and out is UTF-8 on every platform.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "card/identity.h"
#include "platform/utf.h"
#include "tools/admin_commands.h"
#include "tools/cli_common.h"
#include "tools/record_commands.h"
#include "tools/secret_text.h"
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

// The console: ordinary text through the C library, a line holding a login
// text straight to the descriptor, so that no stdio buffer keeps a copy.
class ConsoleOutput : public CommandOutput {
 public:
  void Out(const std::string& text) override { WriteOut(text); }
  void Err(const std::string& text) override { WriteErr(text); }
  void OutSecret(const char* bytes, std::size_t size) override { WriteOutUnbuffered(bytes, size); }
};

int RecordCommand(const std::string& which, std::vector<std::string> rest) {
  ConsoleOutput console;
  const int status = which == "encode" ? EncodeCommand(rest, console) : DecodeCommand(rest, console);
  if (status == 2) WriteErr(kUsage);
  return status;
}

// records and doctor read the registry of this PC: the Windows build only.
int AdminCommand(const std::string& command, const std::vector<std::string>& rest) {
  if (!rest.empty()) return Usage(command + " takes no arguments");
#ifdef _WIN32
  // Each piece goes out as it comes; one flush at the end.
  class ConsoleSink : public TextSink {
   public:
    void Write(const std::string& text) override {
      std::fwrite(text.data(), 1, text.size(), stdout);
    }
  } out;
  WinRegistry registry;
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
  std::fflush(stdout);
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
    if (args[2] == "encode" || args[2] == "decode")
      return RecordCommand(args[2], std::vector<std::string>(args.begin() + 3, args.end()));
  }
  return Usage("unknown command: " + command);
}

}  // namespace

}  // namespace orvane

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  // UTF-16 arguments whatever the console code page; the commands take UTF-8.
  std::vector<std::string> args(argc);
  orvane::ArgumentWiper wiper(args);
  for (int i = 0; i < argc; ++i)
    orvane::ArgumentToUtf8(reinterpret_cast<const char16_t*>(argv[i]), args[i]);
  // The record commands' texts leave the C library's copy of the arguments.
  if (args.size() > 1 && args[1] == "record")
    for (int i = 2; i < argc; ++i) orvane::SecureZero(argv[i], wcslen(argv[i]) * sizeof(wchar_t));
  std::vector<char*> pointers;
  for (std::string& arg : args) pointers.push_back(&arg[0]);
  pointers.push_back(nullptr);
  return orvane::Run(args, argc, pointers.data());
}
#else
int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  orvane::ArgumentWiper wiper(args);
  // The record commands' texts leave the process's argument area, where
  // other users' tools could read them for as long as the command runs.
  if (args.size() > 1 && args[1] == "record")
    for (int i = 2; i < argc; ++i) orvane::SecureZero(argv[i], std::strlen(argv[i]));
  return orvane::Run(args, argc, argv);
}
#endif
