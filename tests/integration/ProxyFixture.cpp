#include "integration/ProxyFixture.h"

#include <fstream>
#include <sstream>

#include "support/Loopback.h"

namespace tarnwick::test {

ProxyFixture::ProxyFixture() {
  Directory =
      std::filesystem::temp_directory_path() / ("tarnwick-test-" + std::to_string(::getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::create_directories(Directory);
  Log = std::make_shared<TAccessLog>((Directory / "TARNWICK.LOG").string());
}

ProxyFixture::~ProxyFixture() {
  Proxy.reset();
  std::error_code ignored;
  std::filesystem::remove_all(Directory, ignored);
}

void ProxyFixture::StartProxy(const std::function<void(TPrefsSettings&)>& adjust,
                              std::shared_ptr<const TFilterChain> filters) {
  TPrefsSettings settings;
  settings.ListenPort = 0;
  settings.LogEnabled = true;
  if (adjust) adjust(settings);
  Prefs->Publish(settings);
  UiThread.HandOver()->RunAndWait([this] { Log->Open(); });
  Proxy = std::make_unique<TFilterProxy>(TProxyContext{Prefs, std::move(filters), UiThread.HandOver(), Log, RelayPath});
  Proxy->Start();
  ProxyPort = Proxy->ListeningPort();
}

void ProxyFixture::Change(const std::function<void(TPrefsSettings&)>& adjust) {
  TPrefsSettings settings = *Prefs->Settings();
  adjust(settings);
  Prefs->Publish(settings);
}

std::string ProxyFixture::Ask(const std::string& request, const std::string& from) {
  TRawSocket client = ConnectTo(ProxyPort, "127.0.0.1", from);
  if (!client.Valid()) return "<refused>";
  client.Send(request);
  return client.ReceiveAll();
}

std::string ProxyFixture::OriginUrl(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(Origin.Port()) + path;
}

std::vector<std::string> ProxyFixture::LogLines(size_t count) {
  std::vector<std::string> lines;
  WaitUntil(
      [&] {
        std::ifstream file(Log->Path(), std::ios::binary);
        std::stringstream all;
        all << file.rdbuf();
        lines.clear();
        std::string text = all.str();
        for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
          lines.push_back(text.substr(start, end - start));
        }
        return lines.size() >= count;
      },
      std::chrono::seconds(5));
  return lines;
}

}  // namespace tarnwick::test
