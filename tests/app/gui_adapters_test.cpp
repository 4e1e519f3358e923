// The window's adapters to the core: the dialogs odMrp and sdMrp as the operator sees
// them, and the regional formats.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QTimer>

#include "gui_support.h"
#include "qtadapters.h"

using namespace guitest;

namespace {

struct Seen {
  QString title, suffix, selected;
  QStringList filters;
  QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
  QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
  bool confirmOverwrite = false;
  QString objectName;
};

// Looks at the dialog once it is shown, then answers it.
void Answer(Seen& seen, const QString& accept, int tries = 200) {
  QTimer::singleShot(10, [&seen, accept, tries] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible()) {
      if (tries > 0) Answer(seen, accept, tries - 1);
      return;
    }
    seen.title = dialog->windowTitle();
    seen.filters = dialog->nameFilters();
    seen.suffix = dialog->defaultSuffix();
    seen.mode = dialog->acceptMode();
    seen.fileMode = dialog->fileMode();
    seen.confirmOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
    seen.objectName = dialog->objectName();
    const QStringList chosen = dialog->selectedFiles();
    seen.selected = chosen.isEmpty() ? QString() : chosen.front();
    if (accept.isEmpty() || tries == 0) {
      dialog->reject();   // never leave the test waiting on the dialog
      return;
    }
    // Typed as the operator would: selectFile() races with the dialog reading its folder.
    if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
      name->setText(accept);
    } else {
      dialog->selectFile(accept);
    }
    // QFileDialog::accept checks the name; while the dialog still reads its folder it may
    // take the folder for the choice and stay open: then once more, a little later.
    static_cast<QDialog*>(dialog)->accept();
    if (dialog->isVisible()) Answer(seen, accept, tries - 1);
  });
}

TEST(QtFileDialogs, OpenDialogHasItsTitleAndFilters) {
  EnsureApp();
  QTemporaryDir dir;
  QFile file(dir.filePath(QStringLiteral("a.mrp")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  QtFileDialogs dialogs(nullptr);
  Seen seen;
  Answer(seen, file.fileName());
  const auto chosen = dialogs.AskOpen(dir.path().toStdString());
  EXPECT_EQ(seen.objectName, QStringLiteral("odMrp"));
  EXPECT_EQ(seen.title, QStringLiteral("Открыть файл списка описания маршрутов"));
  EXPECT_EQ(seen.filters, (QStringList{QStringLiteral("Список маршрутов Velmora (*.mrp)"),
                                       QStringLiteral("Список маршрутов Dorlan (*.mrg)"),
                                       QStringLiteral("Таблицы (*.xlsx *.ods *.csv *.tsv)"),
                                       QStringLiteral("Все файла (*.*)")}));
  EXPECT_EQ(seen.suffix, QStringLiteral("mrp"));
  EXPECT_EQ(seen.mode, QFileDialog::AcceptOpen);
  EXPECT_EQ(seen.fileMode, QFileDialog::ExistingFile);
  ASSERT_TRUE(chosen.has_value());
  // Handed on in the system's own separators.
  EXPECT_EQ(QString::fromStdString(*chosen), QDir::toNativeSeparators(file.fileName()));

  Answer(seen, QString());
  EXPECT_FALSE(dialogs.AskOpen(dir.path().toStdString()).has_value());
}

TEST(QtFileDialogs, SaveDialogProposesTheNameAndAsksBeforeOverwriting) {
  EnsureApp();
  QTemporaryDir dir;
  QtFileDialogs dialogs(nullptr);
  Seen seen;
  Answer(seen, QString());
  EXPECT_FALSE(dialogs.AskSave(dir.path().toStdString(), "routes.mrp").has_value());
  EXPECT_EQ(seen.objectName, QStringLiteral("sdMrp"));
  EXPECT_EQ(seen.title, QStringLiteral("Сохранить файлы в формате *.mrp"));
  EXPECT_EQ(seen.filters, QStringList{QStringLiteral("Список маршрутов КАДО (*.mrp)")});
  EXPECT_EQ(seen.suffix, QStringLiteral("mrp"));
  EXPECT_EQ(seen.mode, QFileDialog::AcceptSave);
  EXPECT_TRUE(seen.confirmOverwrite);
  EXPECT_TRUE(seen.selected.endsWith(QStringLiteral("/routes.mrp"))) << seen.selected.toStdString();

  // A name without extension gets .mrp.
  Answer(seen, dir.filePath(QStringLiteral("list")));
  const auto chosen = dialogs.AskSave(dir.path().toStdString(), "");
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(QString::fromStdString(*chosen),
            QDir::toNativeSeparators(dir.filePath(QStringLiteral("list.mrp"))));
}

TEST(QtDateTimeFormat, GivesATimeOfDayWithoutAZone) {
  EnsureApp();
  const QString pattern = QtDateTimeFormat::LongTimePattern();
  EXPECT_FALSE(pattern.contains(QLatin1Char('t'))) << pattern.toStdString();
  EXPECT_TRUE(pattern.contains(QStringLiteral("mm"))) << pattern.toStdString();
  EXPECT_TRUE(pattern.contains(QStringLiteral("ss"))) << pattern.toStdString();
  QtDateTimeFormat format;
  const std::string time = format.LongTime({1899, 12, 30, 0, 0, 7, 0});
  EXPECT_NE(time.find("00:07"), std::string::npos) << time;
  const std::string date = format.ShortDate({2026, 12, 7, 0, 0, 0, 0});
  EXPECT_NE(date.find("7"), std::string::npos) << date;
  EXPECT_NE(date.find("26"), std::string::npos) << date;
}

}  // namespace
