#pragma once
// The window test classes, one factory each (the classes live in their own files).

#include <QObject>

#include <memory>
#include <vector>

namespace tarnwick::test {

std::unique_ptr<QObject> MakeListEditingTest();
std::unique_ptr<QObject> MakeApplyTest();
std::unique_ptr<QObject> MakeCancelAndPluginsTest();
std::unique_ptr<QObject> MakeStorageTest();
std::unique_ptr<QObject> MakeStatisticsWindowTest();
std::unique_ptr<QObject> MakeStartExitTest();
std::unique_ptr<QObject> MakeTranslationTest();
std::unique_ptr<QObject> MakeTrayTest();
std::unique_ptr<QObject> MakePasswordTest();
std::unique_ptr<QObject> MakeLogTipsHelpTest();
std::unique_ptr<QObject> MakeDesktopCommandsTest();
std::unique_ptr<QObject> MakeUpdateCheckTest();

inline std::vector<std::unique_ptr<QObject>> AllTestClasses() {
  std::vector<std::unique_ptr<QObject>> tests;
  tests.push_back(MakeListEditingTest());
  tests.push_back(MakeApplyTest());
  tests.push_back(MakeCancelAndPluginsTest());
  tests.push_back(MakeStorageTest());
  tests.push_back(MakeStatisticsWindowTest());
  tests.push_back(MakeStartExitTest());
  tests.push_back(MakeTranslationTest());
  tests.push_back(MakeTrayTest());
  tests.push_back(MakePasswordTest());
  tests.push_back(MakeLogTipsHelpTest());
  tests.push_back(MakeDesktopCommandsTest());
  tests.push_back(MakeUpdateCheckTest());
  return tests;
}

}  // namespace tarnwick::test
