#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace qv {

bool InstallQtChineseTranslations() {
  QCoreApplication* application = QCoreApplication::instance();
  if (application == nullptr) return false;
  static QTranslator* installed = nullptr;
  if (installed != nullptr) return true;
  auto* translator = new QTranslator(application);
  const QString folders[] = {
      QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
      QLibraryInfo::path(QLibraryInfo::TranslationsPath),
  };
  for (const QString& folder : folders) {
    if (translator->load(QStringLiteral("qtbase_zh_CN"), folder)) {
      QCoreApplication::installTranslator(translator);
      // Dates and sizes in the open dialog's list, too.
      QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
      installed = translator;
      QObject::connect(translator, &QObject::destroyed, [] { installed = nullptr; });
      return true;
    }
  }
  delete translator;
  return false;
}

}  // namespace qv
