#include "platform/fake/fake_platform.h"

#include <QCoreApplication>

#include "platform/qt/qt_serial_port.h"

namespace tavelin::platform {

Button FakeDialogs::message(const Message& message) {
  shown.push_back(message);
  if (whileOpen) whileOpen(message);
  if (answers.empty()) return message.defaultButton;
  const Button b = answers.front();
  answers.pop_front();
  return b;
}

QString FakeDialogs::input(const QString& prompt, const QString& title, const QString& proposed) {
  inputsShown.push_back({prompt, title, proposed});
  if (inputAnswers.empty()) return {};
  QString answer = inputAnswers.front();
  inputAnswers.pop_front();
  return answer;
}

std::optional<QString> FakeDialogs::password(const QString& prompt, const QString& /*title*/) {
  passwordPrompts << prompt;
  if (passwordAnswers.empty()) return std::nullopt;
  const bool given = passwordAnswers.front().has_value();
  const QString text = passwordAnswers.front().value_or(QString());
  passwordAnswers.pop_front();
  if (!given) return std::nullopt;
  return text;
}

namespace {

template <typename T>
std::optional<T> nextAnswer(std::deque<std::optional<T>>& queue) {
  std::optional<T> answer;
  if (!queue.empty()) {
    answer.swap(queue.front());
    queue.pop_front();
  }
  return answer;
}

}  // namespace

std::optional<QString> FakeDialogs::openFileName(const FileRequest& request) {
  openRequests.push_back(request);
  return nextAnswer(fileAnswers);
}

std::optional<QString> FakeDialogs::saveFileName(const FileRequest& request) {
  saveRequests.push_back(request);
  return nextAnswer(fileAnswers);
}

std::optional<FileChoice> FakeDialogs::saveFileChoice(const FileRequest& request) {
  saveRequests.push_back(request);
  const std::optional<QString> path = nextAnswer(fileAnswers);
  QString filter = request.filters.value(0);
  if (!filterAnswers.empty()) {
    filter = filterAnswers.front();
    filterAnswers.pop_front();
  }
  if (!path) return std::nullopt;
  return FileChoice{*path, filter};
}

std::optional<FontChoice> FakeDialogs::chooseFont(const FontChoice& preset) {
  fontPresets.push_back(preset);
  return nextAnswer(fontAnswers);
}

QStringList FakeDialogs::texts() const {
  QStringList out;
  for (const Message& m : shown) out << m.text;
  return out;
}

void FakeDialogs::clear() {
  answers.clear();
  inputAnswers.clear();
  shown.clear();
  inputsShown.clear();
  passwordAnswers.clear();
  passwordPrompts.clear();
  fileAnswers.clear();
  fontAnswers.clear();
  openRequests.clear();
  saveRequests.clear();
  fontPresets.clear();
}

bool FakeMailTransport::send(const OutgoingMail& mail, QString* error) {
  sent.push_back(mail);
  if (!accepting && error) *error = QStringLiteral("refused");
  return accepting;
}

bool FakeLauncher::start(const QString& program, const QStringList& arguments) {
  if (program.isEmpty() || failing.contains(program)) return false;
  started.push_back({program, arguments});
  return true;
}

std::unique_ptr<SerialPort> FakePlatform::createSerialPort() {
  return std::make_unique<QtSerialPort>();
}

void FakePlatform::processEvents() {
  QCoreApplication::processEvents();
}

}  // namespace tavelin::platform
