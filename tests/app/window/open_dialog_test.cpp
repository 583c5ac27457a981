// The open dialog's file list, offscreen, on a folder of real pictures.
#include "app/open_dialog.h"

#include "app/qt_translations.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <string>

namespace qv {
namespace {

const std::string kCorpus = QUORVANE_CORPUS_DIR;

// The detail columns (size, type, date) show their texts whole for every
// file: no "773...KiB" or "JPE...age".
TEST(OpenDialog, DetailColumnsShowTheirTextsWhole) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows: the program shows the system's file dialog; Qt's own, whose columns "
                  "this checks, appears there only on the offscreen platform";
#endif
  // Qt's dialog restores the list's state of earlier runs: start from none.
  QTemporaryDir settings_dir;
  ASSERT_TRUE(settings_dir.isValid());
  const QString user_settings =
      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir.path());
  struct RestoreSettingsPath {
    QString path;
    ~RestoreSettingsPath() {
      QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
    }
  } restore{user_settings};

  const QString folder = QString::fromStdString(kCorpus + "/jpeg/good");
  TOpenDialog open(nullptr);
  open.Filter = QString::fromUtf8("图片 (*.jpg)|*.jpg|");
  open.FileName = kCorpus + "/jpeg/good/ljt-testorig.jpg";
  QString clipped;
  int rows = 0;
  open.OnShow = [&](QFileDialog& dialog) {
    auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    ASSERT_NE(view, nullptr);
    auto* model = qobject_cast<QFileSystemModel*>(view->model());
    ASSERT_NE(model, nullptr);
    // Checked once the dialog runs and the folder is listed with its details.
    QMetaObject::invokeMethod(
        &dialog,
        [&, view, model] {
          const int margin =
              view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
          auto first_clipped = [&] {
            const QModelIndex root = model->index(folder);
            rows = model->rowCount(root);
            for (int row = 0; row < rows; ++row) {
              for (int column = 1; column < model->columnCount(root); ++column) {
                const QString text = model->index(row, column, root).data().toString();
                const int need = view->fontMetrics().horizontalAdvance(text) + 2 * margin;
                if (text.isEmpty() || view->header()->sectionSize(column) < need)
                  return text.isEmpty() ? "?" : text;
              }
            }
            return QString();
          };
          // A failed wait shows below as the first cut text. The folder is
          // listed on Qt's own thread, which a busy machine can hold back for
          // long: the limit only ends a wait that would never succeed.
          (void)QTest::qWaitFor(
              [&] {
                const bool whole = first_clipped().isEmpty();
                return whole && rows > 20;
              },
              120000);
          clipped = first_clipped();
          dialog.reject();
        },
        Qt::QueuedConnection);
  };
  EXPECT_FALSE(open.Execute());
  EXPECT_GT(rows, 20);
  EXPECT_TRUE(clipped.isEmpty()) << "cut: " << clipped.toStdString();

  // What Qt keeps for the next dialog (of any program) leaves every column
  // resizable by the user.
  QFileDialog next;
  next.setOption(QFileDialog::DontUseNativeDialog, true);
  auto* view = next.findChild<QTreeView*>(QStringLiteral("treeView"));
  ASSERT_NE(view, nullptr);
  for (int column = 0; column < view->header()->count(); ++column) {
    EXPECT_EQ(view->header()->sectionResizeMode(column), QHeaderView::Interactive) << column;
  }
}

bool HasChinese(const QString& text) {
  for (const QChar c : text)
    if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) return true;
  return false;
}

// With Qt's own catalogue installed, the dialog and the message box speak
// Chinese like the rest of the window, whatever the system's language.
TEST(QtTranslations, TheOpenDialogAndTheBoxesButtonsAreChinese) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows: the system's own dialog and boxes, in the system's language";
#endif
  ASSERT_TRUE(InstallQtChineseTranslations())
      << "qtbase_zh_CN.qm not found (Debian: qt6-translations-l10n)";
  TOpenDialog open(nullptr);
  open.Filter = QString::fromUtf8("图片 (*.jpg)|*.jpg|");
  QStringList texts;
  open.OnShow = [&](QFileDialog& dialog) {
    QMetaObject::invokeMethod(
        &dialog,
        [&] {
          for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
            auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(name));
            texts << (label ? label->text() : QStringLiteral("(no %1)").arg(QLatin1String(name)));
          }
          if (auto* buttons = dialog.findChild<QDialogButtonBox*>())
            for (QAbstractButton* button : buttons->buttons()) texts << button->text();
          dialog.reject();
        },
        Qt::QueuedConnection);
  };
  EXPECT_FALSE(open.Execute());
  ASSERT_GE(texts.size(), 5) << texts.join(u'|').toStdString();
  for (const QString& text : texts) EXPECT_TRUE(HasChinese(text)) << text.toStdString();

  QMessageBox box;
  box.setStandardButtons(QMessageBox::Ok);
  EXPECT_TRUE(HasChinese(box.button(QMessageBox::Ok)->text()))
      << box.button(QMessageBox::Ok)->text().toStdString();
}

}  // namespace
}  // namespace qv
