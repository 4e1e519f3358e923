// Opening a Dorlan route group through the window's open command.
#include <gtest/gtest.h>

#include <QDir>

#include <QTextEdit>

#include "gui_support.h"
#include "tests/routes/import_writer.h"

using namespace guitest;

namespace {

TEST(GuiImport, OpeningAGroupImportsItsRoutesAsAnEdit) {
  EnsureApp();
  velmora::test::TempDir dir;
  using velmora::Cp;
  using velmora::test::LineFile;
  dir.Write("Lines/R12.mrl", LineFile("0209", Cp("12А"), {{Cp("Вокзал")}, {Cp("Парк")}}, "", ""));
  dir.Write("grp/n7.MRL", LineFile("0201", "7", {{"A"}, {"B", velmora::test::kMarkA}, {"C"}}));
  const std::string group = dir.Write(
      "grp/Город.MRG", velmora::test::GroupFile({"..\\lines\\r12.mrl", "N7.mrl", "gone.mrl"}));

  FakeDialogs dialogs;
  dialogs.opens.push_back(group);
  TVelmoraF w(Options(&dialogs));
  LoadRoutes(w, {{"1", "x", "y", "a message"}});
  Action(w, "aOpen")->trigger();

  ASSERT_EQ(w.Table().RouteCount(), 2);
  EXPECT_EQ(Cell(w, 1, 1), QStringLiteral("12А "));
  EXPECT_EQ(Cell(w, 1, 2), QStringLiteral("Вокзал"));
  EXPECT_EQ(Cell(w, 1, 3), QStringLiteral("Парк"));
  EXPECT_EQ(Cell(w, 1, 4), QString());
  EXPECT_EQ(Cell(w, 2, 1), QStringLiteral("7   "));
  EXPECT_EQ(Cell(w, 2, 3), QStringLiteral("B"));
  EXPECT_TRUE(w.Table().Modified());
  EXPECT_FALSE(Action(w, "aOpen")->isEnabled());
  EXPECT_FALSE(Action(w, "aClose")->isEnabled());
  EXPECT_TRUE(Action(w, "aSave")->isEnabled());

  const QString log = w.findChild<QTextEdit*>(QStringLiteral("reMsg"))->toPlainText();
  // The listed file is named as the system writes paths ("\" on Windows).
  EXPECT_TRUE(log.contains(QStringLiteral("***Файл маршрута не прочитан: ") +
                           QDir::toNativeSeparators(QString::fromStdString(dir.Path()) +
                                                    QStringLiteral("/grp/gone.mrl"))))
      << log.toStdString();
  w.Table().SetModified(false);
}

}  // namespace
