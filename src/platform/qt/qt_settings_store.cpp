#include "platform/qt/qt_settings_store.h"

#include <QSettings>
#include <QStringList>

namespace tavelin::platform {

QString QtSettingsStore::value(const QString& group, const QString& key) const {
  QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tavelin"),
                     QStringLiteral("Tavelin"));
  const QVariant v = settings.value(group + QLatin1Char('/') + key);
  // INI values with commas ("2400,n,8,1") are read back as lists.
  if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QLatin1Char(','));
  return v.toString();
}

bool QtSettingsStore::setValue(const QString& group, const QString& key, const QString& value) {
  QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tavelin"),
                     QStringLiteral("Tavelin"));
  if (value.isEmpty()) {
    settings.remove(group + QLatin1Char('/') + key);
  } else {
    settings.setValue(group + QLatin1Char('/') + key, value);
  }
  settings.sync();
  return settings.status() == QSettings::NoError;
}

}  // namespace tavelin::platform
