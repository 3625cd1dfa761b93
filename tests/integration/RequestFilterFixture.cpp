#include "integration/RequestFilterFixture.h"

#include "text/UrlText.h"

namespace tarnwick::test {

void RequestFilterFixture::Start(const std::function<void(TPrefsSettings&)>& adjust) {
  StartProxy(adjust, Filters);
  Apply([](TPrefsSettings&) {});
}

void RequestFilterFixture::Apply(const std::function<void(TPrefsSettings&)>& adjust) {
  TPrefsSettings settings = *Prefs->Settings();
  adjust(settings);
  Prefs->Publish(std::move(settings));
}

std::string RequestFilterFixture::Get(const std::string& url, const std::string& headerLines, const std::string& from) {
  return Ask("GET " + url + " HTTP/1.0\r\n" + headerLines + "\r\n", from);
}

std::string RequestFilterFixture::Credential(const std::string& user, const std::string& password) {
  return "Authorization: Basic " + Base64Encode(user + ":" + password) + "\r\n";
}

std::string RequestFilterFixture::AnswerOf(TStatus status, const std::string& url) {
  return BuildStatusResponse(StatusRowOf(status), url, {}).Text;
}

}  // namespace tarnwick::test
