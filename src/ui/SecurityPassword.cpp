#include "ui/SecurityPassword.h"

#include <sodium.h>

#include "platform/UserStore.h"
#include "prefs/RegistryValues.h"

namespace tarnwick {

namespace {

bool SodiumReady() {
  // sodium_init is safe to call more than once; a negative answer means no usable library.
  static const bool ready = sodium_init() >= 0;
  return ready;
}

}  // namespace

TSecurityPassword::THashCost TSecurityPassword::InteractiveCost() {
  return {crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE};
}

TSecurityPassword::THashCost TSecurityPassword::LightestCost() {
  return {crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN};
}

QString NormalisePassword(const QString& entry) { return entry.trimmed().toUpper(); }

void TSecurityPassword::Load(const TUserStore& store) {
  Ask = store.ReadBool(kRegistryKey, kAskForPasswordValue).value_or(false);
  Hash = store.ReadString(kRegistryKey, kSecurityPasswordValue).value_or(std::string());
  // A value that is no hash of ours would match nothing and lock the user out for good.
  if (Hash.rfind("$argon2", 0) != 0) Hash.clear();
}

bool TSecurityPassword::Save(TUserStore& store) const {
  bool written = store.WriteBool(kRegistryKey, kAskForPasswordValue, Ask);
  if (IsSet()) written = store.WriteString(kRegistryKey, kSecurityPasswordValue, Hash) && written;
  return written;
}

bool TSecurityPassword::Set(const QString& entry) {
  const QByteArray normal = NormalisePassword(entry).toUtf8();
  if (normal.isEmpty() || !SodiumReady()) return false;
  char text[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(text, normal.constData(), static_cast<unsigned long long>(normal.size()), HashCost.Operations,
                        HashCost.Memory) != 0) {
    return false;
  }
  Hash = text;
  return true;
}

bool TSecurityPassword::Matches(const QString& entry) const {
  // No password set compares as the empty text: only an empty entry matches it.
  if (!IsSet()) return NormalisePassword(entry).isEmpty();
  if (!SodiumReady()) return false;
  const QByteArray normal = NormalisePassword(entry).toUtf8();
  return crypto_pwhash_str_verify(Hash.c_str(), normal.constData(), static_cast<unsigned long long>(normal.size())) ==
         0;
}

bool TSecurityPassword::Check() {
  if (!Ask) return true;
  if (Prompting) return false;
  Prompting = true;
  // The mark is cleared on every way out, an exception included.
  struct TClearMark {
    bool& Mark;
    ~TClearMark() { Mark = false; }
  } clear{Prompting};
  const std::optional<QString> entry = Prompt();
  return entry && Matches(*entry);
}

}  // namespace tarnwick
