#pragma once
// TSecurityPassword: the one password that guards the commands which change what the filter does
// or records, and the "Ask for a Password" flag.
//
// Entries are compared in their normalised form (blanks at both ends removed, upper case), so
// letter case and surrounding blanks never matter. The password itself is never kept: the per-user
// store holds a salted, slow hash of the normalised form (libsodium's password hashing), and so
// does memory.
//
// User-interface thread only.

#include <QString>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace tarnwick {

class TUserStore;

// Blanks removed at both ends, upper case.
QString NormalisePassword(const QString& entry);

class TSecurityPassword {
 public:
  // Asks the user for the password; nothing when the prompt was cancelled or cannot be shown.
  using TPrompt = std::function<std::optional<QString>()>;

  // Reads the flag and the hash; a store without them leaves the flag off and no password set.
  void Load(const TUserStore& store);
  // Writes the flag, and the hash when one is set. False when the store cannot be written.
  bool Save(TUserStore& store) const;

  bool IsSet() const { return !Hash.empty(); }
  // Sets the password from an entry that is not empty once normalised; false (and nothing changes)
  // for an empty entry or when hashing fails.
  bool Set(const QString& entry);
  bool Matches(const QString& entry) const;

  bool Ask = false;

  // The work of one hash: libsodium's interactive level (tenths of a second, 64 MiB) by default.
  // The level is recorded in the stored hash, so checking follows whatever level set it.
  struct THashCost {
    unsigned long long Operations;
    size_t Memory;
  };
  static THashCost InteractiveCost();
  // The least work libsodium allows: for tests that set many passwords.
  static THashCost LightestCost();
  THashCost HashCost = InteractiveCost();

  // The check in front of every protected command: passes at once while the flag is off, is
  // refused at once while a prompt is already open (no second prompt), else prompts.
  bool Check();
  bool PromptOpen() const { return Prompting; }
  TPrompt Prompt = [] { return std::optional<QString>(); };

 private:
  std::string Hash;  // crypto_pwhash_str's text, empty when no password is set
  bool Prompting = false;
};

// Where the flag and the hash live in the per-user store.
inline constexpr char kAskForPasswordValue[] = "AskForPassword";
inline constexpr char kSecurityPasswordValue[] = "SecurityPassword";

}  // namespace tarnwick
