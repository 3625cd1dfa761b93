#include "prefs/Settings.h"

namespace tarnwick {

TRefererRule RefererRuleOf(int itemIndex) {
  switch (itemIndex) {
    case 1:
      return TRefererRule::AlwaysRemove;
    case 2:
      return TRefererRule::OtherDomain;
    case 3:
      return TRefererRule::OtherDomainOrPath;
    default:
      return TRefererRule::Keep;
  }
}

TPopupRule PopupRuleOf(int itemIndex) { return itemIndex == 1 ? TPopupRule::FilterOpened : TPopupRule::Off; }

TDontFilterWhen DontFilterWhenOf(int itemIndex) {
  switch (itemIndex) {
    case 0:
      return TDontFilterWhen::SameDomain;
    case 1:
      return TDontFilterWhen::SamePath;
    case 2:
      return TDontFilterWhen::AlwaysFilter;
    default:
      return TDontFilterWhen::NoChoice;
  }
}

TAnimationRule AnimationRuleOf(int itemIndex) {
  switch (itemIndex) {
    case 1:
      return TAnimationRule::FirstFrameOnly;
    case 2:
      return TAnimationRule::RepeatNumAnims;
    default:
      return TAnimationRule::Leave;
  }
}

bool IsWordEntry(const TRedirEntry& entry) {
  const std::string& text = entry.Pattern;
  return !text.empty() && text.front() == '<' && text.back() == '>';
}

}  // namespace tarnwick
