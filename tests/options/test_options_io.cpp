#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QTest>

#include "options/frm_options.h"
#include "options/options_io.h"
#include "record_store/paths.h"
#include "support/test_env.h"

using namespace tavelin;
using namespace tavelin::options;
using namespace tavelin::test;

// The options window as start-up has it just before the file is read.
struct StartedForm : FrmOptions {
  StartedForm() { fillLists(); }
};

class TestOptionsIo : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnvironment> env_;
  QString path_;

 private Q_SLOTS:
  void init() {
    env_ = std::make_unique<TestEnvironment>();
    path_ = optionsFilePath(env_->configRoot());
    QVERIFY(QDir().mkpath(fixedFolder(env_->configRoot())));
  }
  void cleanup() { env_.reset(); }

  void readsOnlyFilesOfAtLeast40Bytes() {
    const QByteArray forty = " 0 \r\n 1 \r\n1\r\n\r\n 2 \r\n 1 \r\n 0 \r\n    1   \r\n";
    QCOMPARE(forty.size(), 40);
    // Lines 9 to 11 missing; a flag line that does not read as 1 leaves its box as it was.
    const OptionValues read{{0, 1, 1, 1, 0, 1, 0, 1}, {}, DialMode::Pulse, {}};
    // A null content stands for no file; shorter files are replaced by the default one.
    for (const auto& [content, values] : {std::pair{QByteArray(), defaultOptions()},
                                          {QByteArray(""), defaultOptions()},
                                          {forty.first(39), defaultOptions()},
                                          {forty, read}}) {
      QFile::remove(path_);
      if (!content.isNull()) writeFile(path_, content);
      StartedForm form;
      form.Check4->setChecked(true);
      ReadOptions(form, path_);
      QCOMPARE(readFile(path_), content.size() < 40 ? defaultOptionsFile() : content);
      QCOMPARE(form.values(), values);
    }
  }

  void unwritableFolderLeavesWindowAsCreated() {
    // A plain file where the folder should be: nothing can be created below it, even by root.
    const QString folder = fixedFolder(env_->configRoot());
    QVERIFY(QDir().rmdir(folder));
    writeFile(folder, "not a folder");
    StartedForm form;
    ReadOptions(form, path_);
    QCOMPARE(form.values(), OptionValues{});  // no box, no dial mode, empty texts
    const auto error = WriteOptions(form, path_);
    QVERIFY(error && error->fileName == path_);
  }

  void writeThenReadBack() {
    const OptionValues chosen{{0, 1, 1, 0, 1, 1, 0, 0}, "Com12", DialMode::Pulse, "3"};
    StartedForm writer;
    writer.apply(chosen);
    QVERIFY(!WriteOptions(writer, path_));
    QCOMPARE(readFile(path_), formatOptions(chosen));

    StartedForm reader;
    ReadOptions(reader, path_);
    QCOMPARE(reader.values(), chosen);
    QCOMPARE(reader.cboPort->currentIndex(), 11);
  }
};

QTEST_MAIN(TestOptionsIo)
#include "test_options_io.moc"
