#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QTest>

#include "options/frm_options.h"
#include "options/options_io.h"
#include "record_store/options_file.h"
#include "record_store/paths.h"
#include "support/test_env.h"

using tavelin::DialMode;
using tavelin::OptionValues;
using tavelin::options::FrmOptions;
using tavelin::test::readFile;
using tavelin::test::TestEnvironment;
using tavelin::test::writeFile;

namespace {

// The options window as start-up has it just before the file is read.
struct StartedForm {
  StartedForm() { form.fillLists(); }
  FrmOptions form;
};

QString preparedOptionsPath(const TestEnvironment& env) {
  const QString path = tavelin::optionsFilePath(env.configRoot());
  QDir().mkpath(QFileInfo(path).absolutePath());
  return path;
}

void verifyAsCreated(const FrmOptions& form) {
  QCOMPARE(form.values().flags, (std::array<int, 8>{}));
  QVERIFY(!form.Option1->isChecked());
  QVERIFY(!form.Option2->isChecked());
  QCOMPARE(form.values().dialMode, DialMode::Unset);
}

void verifyDefaults(const FrmOptions& form) {
  QVERIFY(form.isSet(form.Check1));
  QVERIFY(form.isSet(form.Check2));
  QVERIFY(!form.isSet(form.Check3));
  QVERIFY(form.isSet(form.Check4));
  QVERIFY(!form.isSet(form.Check5));
  QVERIFY(!form.isSet(form.chkTool));
  QVERIFY(!form.isSet(form.chkFancy));
  QVERIFY(form.isSet(form.chkMulti));
  QCOMPARE(form.cboPort->currentText(), QStringLiteral("Com2"));
  QCOMPARE(form.cboPort->currentIndex(), 1);
  QVERIFY(form.Option1->isChecked());
  QVERIFY(!form.Option2->isChecked());
  QCOMPARE(form.cboVol->currentText(), QStringLiteral("2"));
}

}  // namespace

class TestOptionsIo : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void createdWindow() {
    StartedForm started;
    const FrmOptions& form = started.form;
    verifyAsCreated(form);
    QVERIFY(!form.isVisible());
    // Filling the lists must not pick a row: the file decides the texts.
    QCOMPARE(form.cboPort->count(), 16);
    QCOMPARE(form.cboPort->itemText(15), QStringLiteral("Com16"));
    QCOMPARE(form.cboVol->count(), 4);
    QCOMPARE(form.cboPort->currentText(), QString());
    QCOMPARE(form.cboVol->currentText(), QString());
    // Other windows and the tests find the controls by name.
    QCOMPARE(form.findChild<QCheckBox*>(QStringLiteral("chkMulti")), form.chkMulti);
    QCOMPARE(form.findChild<QRadioButton*>(QStringLiteral("Option1")), form.Option1);
    QCOMPARE(form.chkTool->accessibleName(), QStringLiteral("Tooltips enabled"));
    QCOMPARE(form.cboVol->accessibleName(), QStringLiteral("Speaker volume"));
  }

  void missingFileGetsDefaults() {
    TestEnvironment env;
    const QString path = preparedOptionsPath(env);
    StartedForm started;
    tavelin::options::ReadOptions(started.form, path);
    QCOMPARE(readFile(path), tavelin::defaultOptionsFile());
    QCOMPARE(QFileInfo(path).size(), 54);
    verifyDefaults(started.form);
    QVERIFY(!started.form.isVisible());
  }

  void shortFileReplaced() {
    for (const QByteArray& content : {QByteArray(), QByteArray(" 0 \r\n").repeated(8).first(39)}) {
      TestEnvironment env;
      const QString path = preparedOptionsPath(env);
      writeFile(path, content);
      StartedForm started;
      tavelin::options::ReadOptions(started.form, path);
      QCOMPARE(readFile(path), tavelin::defaultOptionsFile());
      verifyDefaults(started.form);
    }
  }

  void fortyByteFileRead() {
    TestEnvironment env;
    const QString path = preparedOptionsPath(env);
    const QByteArray content = " 0 \r\n 1 \r\n1\r\n\r\n 2 \r\n 1 \r\n 0 \r\n    1   \r\n";
    QCOMPARE(content.size(), 40);
    writeFile(path, content);
    StartedForm started;
    const FrmOptions& form = started.form;
    tavelin::options::ReadOptions(started.form, path);
    QCOMPARE(readFile(path), content);
    QCOMPARE(form.values().flags, (std::array<int, 8>{0, 1, 1, 0, 0, 1, 0, 1}));
    // Line 9 is missing: pulse dialling and empty texts.
    QCOMPARE(form.cboPort->currentText(), QString());
    QVERIFY(form.Option2->isChecked());
    QVERIFY(!form.Option1->isChecked());
    QCOMPARE(form.cboVol->currentText(), QString());
  }

  void readingOnlySetsFlags() {
    TestEnvironment env;
    const QString path = preparedOptionsPath(env);
    OptionValues inFile;
    inFile.flags = {0, 0, 0, 0, 0, 0, 0, 1};
    inFile.port = QStringLiteral("Com5");
    inFile.dialMode = DialMode::Tone;
    inFile.volume = QStringLiteral("1");
    writeFile(path, tavelin::formatOptions(inFile));

    StartedForm started;
    started.form.Check3->setChecked(true);
    tavelin::options::ReadOptions(started.form, path);
    QCOMPARE(started.form.values().flags, (std::array<int, 8>{0, 0, 1, 0, 0, 0, 0, 1}));
    QCOMPARE(started.form.cboPort->currentIndex(), 4);
    QCOMPARE(started.form.values().volume, QStringLiteral("1"));
  }

  void unwritableFolderLeavesWindowAsCreated() {
    TestEnvironment env;
    // A plain file where the folder should be: nothing can be created below it, even by root.
    const QString folder = tavelin::fixedFolder(env.configRoot());
    QDir().mkpath(QFileInfo(folder).absolutePath());
    writeFile(folder, "not a folder");
    const QString path = tavelin::optionsFilePath(env.configRoot());

    StartedForm started;
    tavelin::options::ReadOptions(started.form, path);
    verifyAsCreated(started.form);
    QCOMPARE(started.form.cboPort->currentText(), QString());
    QCOMPARE(started.form.cboVol->currentText(), QString());
    QVERIFY(!QFileInfo::exists(path));

    QVERIFY(!tavelin::options::WriteDefaultOptions(started.form, path));
    verifyAsCreated(started.form);
    const auto error = tavelin::options::WriteOptions(started.form, path);
    QVERIFY(error.has_value());
    QCOMPARE(error->fileName, path);
  }

  void writeThenReadBack() {
    TestEnvironment env;
    const QString path = preparedOptionsPath(env);
    OptionValues chosen;
    chosen.flags = {0, 1, 1, 0, 1, 1, 0, 0};
    chosen.port = QStringLiteral("Com12");
    chosen.dialMode = DialMode::Pulse;
    chosen.volume = QStringLiteral("3");

    StartedForm writer;
    tavelin::options::ReadOptions(writer.form, path);
    writer.form.apply(chosen);
    QCOMPARE(writer.form.values(), chosen);
    QVERIFY(!tavelin::options::WriteOptions(writer.form, path).has_value());
    QCOMPARE(readFile(path), tavelin::formatOptions(chosen));

    StartedForm reader;
    tavelin::options::ReadOptions(reader.form, path);
    QCOMPARE(reader.form.values(), chosen);
    QCOMPARE(reader.form.cboPort->currentIndex(), 11);

    // Back to a window with no dial mode chosen, as it was created.
    reader.form.apply(OptionValues{});
    verifyAsCreated(reader.form);
  }
};

QTEST_MAIN(TestOptionsIo)
#include "test_options_io.moc"
