// Runs the window tests: all classes, or the one named as the first argument (CTest runs each
// class as a test of its own). Further arguments go to Qt Test.

#include <QApplication>
#include <QRadioButton>
#include <QTest>

#include <cstring>
#include <memory>
#include <vector>

#include "TestClasses.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  std::vector<std::unique_ptr<QObject>> tests = tarnwick::test::AllTestClasses();
  const char* only = argc > 1 && argv[1][0] != '-' ? argv[1] : nullptr;
  std::vector<char*> rest = {argv[0]};
  for (int i = only ? 2 : 1; i < argc; ++i) rest.push_back(argv[i]);
  int failures = 0;
  int ran = 0;
  for (auto& test : tests) {
    if (only && std::strcmp(only, test->metaObject()->className() + std::strlen("tarnwick::test::")) != 0) continue;
    ++ran;
    failures += QTest::qExec(test.get(), static_cast<int>(rest.size()), rest.data());
  }
  if (ran == 0) {
    std::fprintf(stderr, "no test class named %s\n", only);
    return 2;
  }
  return failures == 0 ? 0 : 1;
}
