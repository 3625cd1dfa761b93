// The update check against a local origin: no newer version, a newer one downloaded to the end, a
// cancelled download, a checksum that does not match, the way through an upstream proxy, and the
// automatic check after 30 days.

#include <QApplication>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <filesystem>
#include <fstream>

#include "FormFixture.h"
#include "TestClasses.h"
#include "UpdateOrigin.h"
#include "platform/UserStore.h"
#include "prefs/RegistryValues.h"
#include "ui/Pages.h"
#include "ui/UpdateForms.h"

namespace tarnwick::test {

namespace {

QByteArray Installer() {
  QByteArray body;
  for (int i = 0; i < 300000; ++i) body += static_cast<char>('a' + i % 26);
  return body;
}

QByteArray VersionFile(const QString& version, const QString& downloadUrl, const QByteArray& sha256) {
  QByteArray text = "[Update]\nCurVer=" + version.toLatin1() +
                    "\nProduct=Tarnwick\nSize=293 KB\nDownloadURL=" + downloadUrl.toLatin1() + "\n";
  if (!sha256.isEmpty()) text += "SHA256=" + sha256 + "\n";
  return text;
}

QByteArray Sha256(const QByteArray& data) { return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex(); }

// What the download window looked like and did, seen from inside its modal loop.
struct TDownloadSeen {
  bool Shown = false;
  QString NewVer, CurVer, Product;
  int Maximum = -1;
  int Value = -1;
};

}  // namespace

class UpdateCheckTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { Seen = {}; }
  void cleanup() { qunsetenv("TARNWICK_UPDATE_URL"); }

  void noNewerVersionShowsNoDownloadWindow() {
    TUpdateOrigin origin;
    origin.Serve("/update.ini", VersionFile("1.4", origin.Base() + "files/setup.bin", {}));
    qputenv("TARNWICK_UPDATE_URL", origin.Base().toLatin1());
    TFormFixture fixture(kTestPort, true);
    Check(fixture, Action::Download);
    QVERIFY(!Seen.Shown);
    QCOMPARE(origin.Targets, QStringList{"/update.ini"});
    QVERIFY(!std::filesystem::exists(fixture.Path("updates/update.ini")));
  }

  void textuallyOlderVersionIsNotOffered() {
    TUpdateOrigin origin;
    origin.Serve("/update.ini", VersionFile("1.10", origin.Base() + "files/setup.bin", {}));
    qputenv("TARNWICK_UPDATE_URL", origin.Base().toLatin1());
    TFormFixture fixture(kTestPort, true);
    Check(fixture, Action::Download);
    QVERIFY(!Seen.Shown);
  }

  void newerVersionIsDownloadedWithProgressToTheEnd() {
    TUpdateOrigin origin;
    const QByteArray installer = Installer();
    origin.Serve("/update.ini", VersionFile("1.5", origin.Base() + "files/tarnwick-1.5.tar.gz", Sha256(installer)));
    origin.Serve("/files/tarnwick-1.5.tar.gz", installer);
    qputenv("TARNWICK_UPDATE_URL", origin.Base().toLatin1());
    TFormFixture fixture(kTestPort, true);
    Check(fixture, Action::Download);
    QVERIFY(Seen.Shown);
    QCOMPARE(Seen.NewVer, QStringLiteral("1.5"));
    QCOMPARE(Seen.CurVer, QStringLiteral("1.4"));
    QCOMPARE(Seen.Product, QStringLiteral("Tarnwick  V1.5  /  (293 KB)"));
    QCOMPARE(Seen.Maximum, static_cast<int>(installer.size()));
    QCOMPARE(Seen.Value, static_cast<int>(installer.size()));
    const QString saved = QString::fromStdString(fixture.Path("updates/tarnwick-1.5.tar.gz"));
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), installer);
    QCOMPARE(fixture.Launcher().Opened, std::vector<QString>{QUrl::fromLocalFile(saved).toString()});
    QCOMPARE(fixture.Dialogs().Messages.size(), size_t{1});
    QVERIFY(fixture.Dialogs().Messages[0].startsWith("#InformationMsg|##Update downloaded"));
    QVERIFY(!std::filesystem::exists(fixture.Path("updates/update.ini")));
  }

  void cancelledDownloadLeavesNothing() {
    TUpdateOrigin origin;
    origin.Serve("/update.ini", VersionFile("1.5", origin.Base() + "files/big.bin", {}));
    origin.Serve("/files/big.bin", QByteArray(1 << 20, 'x'), 65536);
    qputenv("TARNWICK_UPDATE_URL", origin.Base().toLatin1());
    TFormFixture fixture(kTestPort, true);
    Check(fixture, Action::CancelDuringTransfer);
    QVERIFY(Seen.Shown);
    QCOMPARE(Seen.Maximum, 1 << 20);
    QVERIFY(Seen.Value > 0 && Seen.Value < (1 << 20));
    QVERIFY(!std::filesystem::exists(fixture.Path("updates/big.bin")));
    // The client gave the transfer up by itself, long before the origin would have.
    QTRY_COMPARE_WITH_TIMEOUT(origin.ClosedWhileHeld, 1, 10000);
    QVERIFY(fixture.Launcher().Opened.empty());
    QVERIFY(fixture.Dialogs().Messages.empty());
  }

  void checksumMismatchIsRefused() {
    TUpdateOrigin origin;
    origin.Serve("/update.ini", VersionFile("1.5", origin.Base() + "files/setup.bin", Sha256("something else")));
    origin.Serve("/files/setup.bin", Installer());
    qputenv("TARNWICK_UPDATE_URL", origin.Base().toLatin1());
    TFormFixture fixture(kTestPort, true);
    Check(fixture, Action::Download);
    QVERIFY(!std::filesystem::exists(fixture.Path("updates/setup.bin")));
    QVERIFY(fixture.Launcher().Opened.empty());
    QCOMPARE(fixture.Dialogs().Messages, std::vector<QString>{"#ErrorMsg|##errUpdateChecksum"});
  }

  void onlyWebAddressesAreDownloaded() {
    TUpdateOrigin origin;
    const std::string secret = std::filesystem::temp_directory_path() / "tarnwick-update-secret.txt";
    std::ofstream(secret) << "private";
    origin.Serve("/update.ini", VersionFile("1.5", QUrl::fromLocalFile(QString::fromStdString(secret)).toString(), {}));
    qputenv("TARNWICK_UPDATE_URL", origin.Base().toLatin1());
    TFormFixture fixture(kTestPort, true);
    Check(fixture, Action::Download);
    std::filesystem::remove(secret);
    QVERIFY(Seen.Shown);
    QVERIFY(!std::filesystem::exists(fixture.Path("updates/tarnwick-update-secret.txt")));
    QVERIFY(fixture.Launcher().Opened.empty());
  }

  void bothFilesComeThroughTheUpstreamProxy() {
    TUpdateOrigin proxy;
    const QByteArray installer = Installer();
    // A name that only the proxy can reach: nothing is looked up here.
    proxy.Serve("/update.ini", VersionFile("1.5", "http://updates.tarnwick.invalid/files/setup.bin", {}));
    proxy.Serve("/files/setup.bin", installer);
    qputenv("TARNWICK_UPDATE_URL", "http://updates.tarnwick.invalid/");
    const std::string ini =
        std::string(kTestPort) +
        "UseProxy_Checked=True\nProxyName_Text=127.0.0.1\nProxyPort_Text=" + std::to_string(proxy.Port()) + "\n";
    TFormFixture fixture(ini.c_str(), true);
    QVERIFY(fixture.Settings()->UseProxy);
    Check(fixture, Action::Download);
    QCOMPARE(proxy.Targets, (QStringList{"http://updates.tarnwick.invalid/update.ini",
                                         "http://updates.tarnwick.invalid/files/setup.bin"}));
    QCOMPARE(fixture.Launcher().Opened.size(), size_t{1});
  }

  void automaticCheckAfterMoreThanThirtyDays() {
    TUpdateOrigin origin;
    origin.Serve("/update.ini", VersionFile("1.4", origin.Base() + "files/setup.bin", {}));
    qputenv("TARNWICK_UPDATE_URL", origin.Base().toLatin1());
    for (const auto& [daysAgo, checks] : std::vector<std::pair<int, bool>>{{31, true}, {30, false}, {0, false}}) {
      origin.Targets.clear();
      const double last = DateTimeNow() - daysAgo;
      TFormFixture fixture(kTestPort, true, nullptr, [last](TMainFormContext& context, const std::string& home) {
        context.UserStore = std::make_unique<TUserStore>(home + "/TARNWICK.USER");
        context.Registry.IsFirstStart = false;
        context.Registry.LastUpdate = last;
      });
      QCOMPARE(origin.Targets.size(), qsizetype{checks ? 1 : 0});
      // A new day of use moves the date to today; the same day leaves it.
      QCOMPARE(fixture.Form().Registry().LastUpdate > last, daysAgo > 0);
    }
  }

  void headlessAutomaticCheckDownloadsNothing() {
    TUpdateOrigin origin;
    origin.Serve("/update.ini", VersionFile("1.5", origin.Base() + "files/setup.bin", {}));
    origin.Serve("/files/setup.bin", Installer());
    qputenv("TARNWICK_UPDATE_URL", origin.Base().toLatin1());
    const double last = DateTimeNow() - 40;
    TFormFixture fixture(kTestPort, true, nullptr, [last](TMainFormContext& context, const std::string& home) {
      context.UserStore = std::make_unique<TUserStore>(home + "/TARNWICK.USER");
      context.Registry.IsFirstStart = false;
      context.Registry.LastUpdate = last;
      context.Headless = true;
    });
    QCOMPARE(origin.Targets, QStringList{"/update.ini"});
    QVERIFY(!std::filesystem::exists(fixture.Path("updates/setup.bin")));
  }

 private:
  enum class Action { Download, CancelDuringTransfer };

  // Runs the menu command; the download window, when it comes, is driven from inside its loop.
  void Check(TFormFixture& fixture, Action action) {
    QTimer driver;
    driver.setInterval(10);
    connect(&driver, &QTimer::timeout, this, [&] {
      auto* form = qobject_cast<TDownloadForm*>(QApplication::activeModalWidget());
      if (!form || Seen.Shown) return;
      Seen.Shown = true;
      Seen.NewVer = form->NewVerLabel->text();
      Seen.CurVer = form->CurVerLabel->text();
      Seen.Product = form->ProductLabel->text();
      QVERIFY(form->AutomaticCheckBox->isChecked());
      if (action == Action::CancelDuringTransfer) {
        connect(form->ProgressBar, &QProgressBar::valueChanged, form, [form](int value) {
          if (value > 0) form->CancelBtn->click();
        });
      }
      form->DownloadBtn->click();
      Seen.Maximum = form->ProgressBar->maximum();
      Seen.Value = form->ProgressBar->value();
    });
    driver.start();
    fixture.Form().CheckforUpdate1->trigger();
    driver.stop();
  }

  TDownloadSeen Seen;
};

std::unique_ptr<QObject> MakeUpdateCheckTest() { return std::make_unique<UpdateCheckTest>(); }

}  // namespace tarnwick::test

#include "UpdateCheckTest.moc"
