// The window's adapters to the core: the dialogs odMrp and sdMrp as the operator sees
// them, and the regional formats.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTimer>
#include <QToolButton>
#ifdef __linux__
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#endif

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

using OpenDialog = WindowFixture;

// F3, the folder's path typed into the name field, Enter: the dialog lists a folder holding a named
// pipe and a file whose opening waits, as /proc/kmsg does for root (here under a write lease).
TEST_F(OpenDialog, ListsAFolderWithoutOpeningItsFilesAndChangesNothing) {
#ifndef __linux__
  GTEST_SKIP() << "file leases are Linux's";
#else
  QTemporaryDir dir;
  const QString folder = dir.path();
  const QByteArray pipe = QFile::encodeName(folder + "/pipe");
  ASSERT_EQ(mkfifo(pipe.constData(), 0644), 0);
  const int held = open(QFile::encodeName(folder + "/held").constData(), O_WRONLY | O_CREAT, 0644);
  signal(SIGIO, SIG_IGN);  // the lease holder is told of an open by SIGIO
  if (fcntl(held, F_SETLEASE, F_WRLCK) != 0) GTEST_SKIP() << "this file system has no leases";
  std::atomic<bool> done{false}, opened{false};
  std::thread watchdog([&] {  // ends a wait on either file after 10 s at most
    for (int i = 0; i < 200 && !done && !opened; ++i) {
      opened = fcntl(held, F_GETLEASE) != F_WRLCK;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    fcntl(held, F_SETLEASE, F_UNLCK);
    close(open(pipe.constData(), O_WRONLY | O_NONBLOCK));
  });
  w = std::make_unique<TVelmoraF>(Options());
  ShowActive();
  QTimer::singleShot(0, [&] {
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())); }));
    QApplication::setActiveWindow(dialog);  // as a window manager does
    bool listed = false;
    // The model outlives this lambda: the connection ends with `listening`, before `listed` does.
    QObject listening;
    QObject::connect(dialog->findChild<QFileSystemModel*>(), &QFileSystemModel::directoryLoaded,
                     &listening, [&](const QString& path) { listed = listed || path == folder; });
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    Type(name, folder);
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed; }, 10000));
    QTest::mouseClick(dialog->findChild<QToolButton*>(QStringLiteral("newFolderButton")),
                      Qt::LeftButton);
    QTest::keyClick(dialog, Qt::Key_Escape);
    if (dialog->isVisible()) dialog->reject();
  });
  QTest::keyClick(w.get(), Qt::Key_F3);
  done = true;
  watchdog.join();
  close(held);
  signal(SIGIO, SIG_DFL);
  EXPECT_FALSE(opened) << "the dialog opened a file it listed, on the window's thread";
  EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::System).join(' ').toStdString(),
            ". .. held pipe");
  EXPECT_TRUE(w->Files().CurrentFile().empty());
#endif
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
