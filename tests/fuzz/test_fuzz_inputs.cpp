// Every seed input and every input that once made a fuzz target fail, through the target's
// own check, so that a fault the fuzzers found stays mended.
#include <QDir>
#include <QFile>
#include <QTest>

#include "fuzz_checks.h"

using namespace tavelin::fuzz;

class FuzzInputsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void input_data() {
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("path");
    const std::vector<FuzzTarget>& targets = fuzzTargets();
    for (size_t t = 0; t < targets.size(); ++t) {
      int seeds = 0;
      for (const char* folder : {"corpus", "regressions"}) {
        const QDir dir(QStringLiteral(FUZZ_DIR "/%1/%2").arg(folder, targets[t].name));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
          if (name.startsWith(QLatin1Char('.'))) continue;
          QTest::addRow("%s/%s/%s", folder, targets[t].name, qPrintable(name))
              << static_cast<int>(t) << dir.filePath(name);
          if (QLatin1String(folder) == QLatin1String("corpus")) ++seeds;
        }
      }
      // A target without seeds would start from nothing and pass here by default.
      QVERIFY2(seeds > 0, targets[t].name);
    }
  }

  void input() {
    QFETCH(int, target);
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QString fault = fuzzTargets()[static_cast<size_t>(target)].check(bytes);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
  }
};

QTEST_GUILESS_MAIN(FuzzInputsTest)
#include "test_fuzz_inputs.moc"
