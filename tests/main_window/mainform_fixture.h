#pragma once

#include <QByteArray>
#include <QStringList>
#include <memory>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

#include "main_window/mainform.h"
#include "main_window/name_list.h"
#include "platform/fake/fake_platform.h"
#include "support/test_env.h"

namespace tavelin::test {

// A main window on a private config folder and working directory, with fake dialogs.
struct MainformFixture {
  TestEnvironment env;
  platform::FakePlatform platform{env.configRoot()};
  std::unique_ptr<main_window::Mainform> window;
  sync::SyncRunnerFactory syncRunners;  // what start() gives the window to sync with

  // Writes TAVELIN.FIL (lines joined with CR LF, each ended by one) unless lines is null.
  void writeDataFile(const QStringList& lines);
  QByteArray dataFile() const;
  // Creates the window and runs its start-up.
  main_window::Mainform& start();
  // The names List1 shows, top to bottom.
  QStringList listNames() const;
  int listIndex() const;
  QStringList fieldTexts() const;
};

// A data-file line with the given name, first phone, e-mail and web address.
QString recordLine(const QString& name, const QString& phone1 = {}, const QString& email = {},
                   const QString& url = {});

}  // namespace tavelin::test
