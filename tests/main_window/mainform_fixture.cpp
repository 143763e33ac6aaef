#include "mainform_fixture.h"

#include <QLineEdit>

#include "main_window/name_list.h"
#include "record_store/paths.h"

namespace tavelin::test {

void MainformFixture::writeDataFile(const QStringList& lines) {
  QByteArray bytes;
  for (const QString& line : lines) bytes += line.toUtf8() + "\r\n";
  writeFile(env.workPath(kDataFileName), bytes);
}

QByteArray MainformFixture::dataFile() const {
  return readFile(env.workPath(kDataFileName));
}

main_window::Mainform& MainformFixture::start() {
  // No window test reaches a real serial port: every port number not set by the test names a
  // device that does not exist.
  for (int port = 1; port <= 16; ++port) {
    QString& device = platform.fakeSettings.values[QStringLiteral("Platform/Com%1").arg(port)];
    if (device.isEmpty()) device = env.workPath(QStringLiteral("no-modem"));
  }
  window = std::make_unique<main_window::Mainform>(platform);
  window->setSyncRunnerFactory(syncRunners);
  window->Form_Load();
  return *window;
}

QStringList MainformFixture::listNames() const {
  QStringList names;
  const QAbstractItemModel* model = window->List1->model();
  for (int row = 0; row < model->rowCount(); ++row) names << model->index(row, 0).data().toString();
  return names;
}

int MainformFixture::listIndex() const {
  return window->List1->listIndex();
}

QStringList MainformFixture::fieldTexts() const {
  QStringList texts;
  for (const QLineEdit* box : window->Text) texts << box->text();
  return texts;
}

QString recordLine(const QString& name, const QString& phone1, const QString& email,
                   const QString& url) {
  QStringList fields(14);
  fields[0] = name;
  fields[4] = phone1;
  fields[8] = email;
  fields[9] = url;
  return QLatin1Char('"') + fields.join(QStringLiteral("\",\"")) + QLatin1Char('"');
}

}  // namespace tavelin::test
