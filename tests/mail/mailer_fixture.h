#pragma once

#include <QDir>
#include <QTextCursor>
#include <QWidget>
#include <memory>

#include "contracts/record_view.h"
#include "mail/mailer.h"
#include "mail/message_edit.h"
#include "options/frm_options.h"
#include "platform/fake/fake_platform.h"
#include "record_store/paths.h"
#include "record_store/record_table.h"
#include "support/test_env.h"

namespace tavelin::test {

// A mail editor over a stand-in main window, with fake dialogs, clock, printer and transport.
struct MailerFixture {
  TestEnvironment env;
  platform::FakePlatform platform{env.configRoot()};
  options::FrmOptions options;
  RecordTable table;
  TableRecords records{table};
  QWidget main;
  std::unique_ptr<mail::Mailer> editor;

  MailerFixture() {
    QDir().mkpath(fixedFolder(env.configRoot()));
    main.setGeometry(100, 80, 538, 345);
    main.show();
    open();
  }
  mail::Mailer& open() {
    editor.reset();
    editor = std::make_unique<mail::Mailer>(
        mail::Mailer::Context{platform, platform.fakePrinter, options, records, u"Ann Smith"_qs},
        &main);
    editor->Form_Load();
    editor->show();
    return *editor;
  }
  mail::Mailer& w() { return *editor; }
  platform::FakeDialogs& dialogs() { return platform.fakeDialogs; }
  void select(int from, int to) {
    QTextCursor c = editor->EditBox->textCursor();
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    editor->EditBox->setTextCursor(c);
  }
  void addRecord(const QString& name, const QString& email) {
    table.beginRecord();
    for (int k = 0; k < kFieldCount; ++k)
      table.addField(k == 0 ? name : k == 8 ? email : QString());
    table.endRecord();
  }
};

}  // namespace tavelin::test
