#include <QTest>

#include "mainform_fixture.h"

class RecordDisplayTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
};

QTEST_MAIN(RecordDisplayTest)
#include "test_record_display.moc"
