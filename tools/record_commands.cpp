#include "tools/record_commands.h"

#include <cstring>

#include "card/identity.h"
#include "platform/std/std_clock_random.h"
#include "store/login_record.h"
#include "tools/hex.h"
#include "tools/secret_text.h"

namespace orvane {

namespace {

constexpr int kUsageStatus = 2;

int Problem(CommandOutput& io, const std::string& problem) {
  io.Err("orvane-card: " + problem + "\n");
  return kUsageStatus;
}

bool ParseIdentity(const std::string& text, CardIdentity& identity) {
  std::vector<unsigned char> bytes;
  if (!ParseHex(text, bytes) || bytes.size() != identity.size()) return false;
  std::memcpy(identity.data(), bytes.data(), identity.size());
  return true;
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

bool Convert(const std::string& arg, SecretText& out) {
  return SecretFromUtf8(arg.data(), arg.size(), out);
}

}  // namespace

int EncodeCommand(std::vector<std::string>& args, CommandOutput& io) {
  ArgumentWiper wiper(args);
  // Indexes into args, never copies: the texts stay where the wiper finds them.
  const std::string* identityText = nullptr;
  const std::string* password = nullptr;
  const std::string* user = nullptr;
  const std::string* target = nullptr;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    const std::string** slot = nullptr;
    if (option == "--identity") slot = &identityText;
    else if (option == "--password") slot = &password;
    else if (option == "--user") slot = &user;
    else if (option == "--target") slot = &target;
    else return Problem(io, "unknown argument: " + option);
    if (i + 1 >= args.size()) return Problem(io, option + " needs a value");
    *slot = &args[++i];
  }
  if (!identityText || !password || !user || !target) {
    return Problem(io, "record encode needs --identity, --password, --user and --target");
  }
  CardIdentity identity{};
  if (!ParseIdentity(*identityText, identity)) {
    return Problem(io, "the identity must be 16 bytes of hex: " + *identityText);
  }
  SecretText password16, user16, target16;
  if (!Convert(*password, password16) || !Convert(*user, user16) || !Convert(*target, target16)) {
    return Problem(io, "the text is not valid UTF-8");
  }
  if (!IdentityIsValid(identity)) {
    io.Err("no card: the identity is all zero\n");
    return 1;
  }

  // As the settings program writes it: filler from the C library's
  // generator, seeded with the time.
  StdClock clock;
  StdRandom random;
  random.Seed(clock.SecondsSinceEpoch());
  unsigned char data[kMaxLoginData];
  const std::size_t total =
      password16.Fits() && user16.Fits() && target16.Fits()
          ? BuildLoginPlaintext(password16.text, user16.text, target16.text, random, data,
                                sizeof data)
          : 0;
  if (total == 0) {
    SecureZero(data, sizeof data);
    io.Err("too long: the three texts may have 118 UTF-16 code units in all\n");
    return 1;
  }
  CardIdentity permuted{};
  PermuteIdentity(identity, permuted);
  EncryptLoginData(identity, permuted, data, total);
  io.Out("data: " + HexContiguous(data, total) + "\n");
  SecureZero(data, sizeof data);
  return 0;
}

int DecodeCommand(std::vector<std::string>& args, CommandOutput& io) {
  ArgumentWiper wiper(args);
  const std::string* identityText = nullptr;
  const std::string* dataText = nullptr;
  bool showPassword = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--identity") {
      if (i + 1 >= args.size()) return Problem(io, "--identity needs a value");
      identityText = &args[++i];
    } else if (args[i] == "--show-password") {
      showPassword = true;
    } else if (args[i].compare(0, 2, "--") == 0 || dataText) {
      return Problem(io, "unknown argument: " + args[i]);
    } else {
      dataText = &args[i];
    }
  }
  if (!identityText || !dataText) return Problem(io, "record decode needs --identity and the data");
  CardIdentity identity{};
  if (!ParseIdentity(*identityText, identity)) {
    return Problem(io, "the identity must be 16 bytes of hex: " + *identityText);
  }
  std::vector<unsigned char> data;
  if (!ParseHex(*dataText, data)) return Problem(io, "the data is not hex");

  CardIdentity permuted{};
  PermuteIdentity(identity, permuted);
  LoginStrings strings;
  // More than the programs accept decodes to nothing, as it does for them.
  if (!DecodeLoginData(identity, permuted, data.data(), data.size(), strings)) {
    io.Err("no usable login data\n");
    return 1;
  }
  {
    const SecretLine userLine("user: ", strings.user);
    io.OutSecret(userLine.bytes, userLine.size);
  }
  {
    const SecretLine targetLine("target: ", strings.target);
    io.OutSecret(targetLine.bytes, targetLine.size);
  }
  if (showPassword) {
    const SecretLine passwordLine("password: ", strings.password);
    io.OutSecret(passwordLine.bytes, passwordLine.size);
  } else {
    const std::size_t count = CodePoints(strings.password);
    io.Out("password: (" + std::to_string(count) + (count == 1 ? " character" : " characters") +
           ", hidden; --show-password shows it)\n");
  }
  return 0;
}

}  // namespace orvane
