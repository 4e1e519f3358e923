#include <gtest/gtest.h>

#include <string>

#include "base/cp1251.h"
#include "routes/routetable.h"

using namespace velmora;

namespace {

// A table with routes named "R1".."Rn" in column 1 and "s<i>", "f<i>", "m<i>" after it.
void Fill(RouteTable& t, int n) {
  for (int i = 1; i <= n; ++i) {
    t.SetCursor(t.RouteCount(), 1);
    ASSERT_EQ(t.Add(), RouteTable::AddResult::Added);
    const std::string k = std::to_string(i);
    t.SetCell(t.CursorRow(), 1, "R" + k);
    t.SetCell(t.CursorRow(), 2, "s" + k);
    t.SetCell(t.CursorRow(), 3, "f" + k);
    t.SetCell(t.CursorRow(), 4, "m" + k);
  }
}

std::string Designations(const RouteTable& t) {
  std::string out;
  for (int r = 1; r < t.RowCount(); ++r) out += t.Cell(r, 1) + ",";
  return out;
}

void ExpectNumbered(const RouteTable& t) {
  for (int r = 1; r <= t.RouteCount(); ++r) EXPECT_EQ(t.Cell(r, 0), std::to_string(r));
}

void ExpectPlaceholder(const RouteTable& t) {
  EXPECT_EQ(t.RouteCount(), 0);
  EXPECT_EQ(t.RowCount(), 2);
  for (int c = 0; c <= 4; ++c) EXPECT_EQ(t.Cell(1, c), "") << "column " << c;
}

}  // namespace

TEST(RouteTable, StartsEmptyWithPlaceholderRow) {
  RouteTable t;
  ExpectPlaceholder(t);
  EXPECT_FALSE(t.Modified());
  EXPECT_EQ(t.CursorRow(), 1);
  EXPECT_EQ(t.Stored().count, 0);
}

TEST(RouteTable, AddToEmptyTurnsPlaceholderIntoRouteOne) {
  RouteTable t;
  EXPECT_EQ(t.Add(), RouteTable::AddResult::Added);
  EXPECT_EQ(t.RouteCount(), 1);
  EXPECT_EQ(t.RowCount(), 2);
  EXPECT_EQ(t.Cell(1, 0), "1");
  for (int c = 1; c <= 4; ++c) EXPECT_EQ(t.Cell(1, c), "");
  EXPECT_EQ(t.CursorRow(), 1);
  EXPECT_TRUE(t.Modified());
}

TEST(RouteTable, AddOnLastRowAppendsAndInMiddleInsertsAfterCursor) {
  RouteTable t;
  Fill(t, 3);
  t.SetCursor(3, 2);
  t.Add();
  EXPECT_EQ(Designations(t), "R1,R2,R3,,");
  EXPECT_EQ(t.CursorRow(), 4);
  EXPECT_EQ(t.CursorColumn(), 2) << "the column stays";

  t.SetCursor(1, 1);
  t.Add();
  EXPECT_EQ(Designations(t), "R1,,R2,R3,,");
  EXPECT_EQ(t.CursorRow(), 2);
  EXPECT_EQ(t.RowCount(), 6);
  ExpectNumbered(t);
  // All four texts moved down with their route.
  EXPECT_EQ(t.Cell(3, 2), "s2");
  EXPECT_EQ(t.Cell(3, 4), "m2");
  EXPECT_EQ(t.Cell(2, 4), "");
}

TEST(RouteTable, AddRefusesAtTheStoredListSize) {
  RouteTable t;
  for (int i = 0; i < kStoredRoutes; ++i) ASSERT_EQ(t.Add(), RouteTable::AddResult::Added);
  t.SetCell(10, 1, "X");
  t.SetModified(false);
  t.SetCursor(10, 1);
  int calls = 0;
  t.SetListener([&] { ++calls; });
  EXPECT_EQ(t.Add(), RouteTable::AddResult::Full);
  EXPECT_EQ(t.RouteCount(), 256);
  EXPECT_EQ(t.CursorRow(), 10);
  EXPECT_EQ(t.Cell(10, 1), "X");
  EXPECT_FALSE(t.Modified());
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(RouteLimitText(), Cp("Достигнуто наибольшее число маршрутов: 256"));
}

TEST(RouteTable, DeleteOnlyRouteLeavesPlaceholder) {
  RouteTable t;
  Fill(t, 1);
  t.SetModified(false);
  t.Delete();
  ExpectPlaceholder(t);
  EXPECT_EQ(t.CursorRow(), 1);
  EXPECT_TRUE(t.Modified()) << "empty, modified";
}

TEST(RouteTable, DeleteFirstMiddleAndLast) {
  RouteTable t;
  Fill(t, 5);
  t.SetCursor(1, 3);
  t.Delete();
  EXPECT_EQ(Designations(t), "R2,R3,R4,R5,");
  EXPECT_EQ(t.CursorRow(), 1);
  EXPECT_EQ(t.Cell(1, 3), "f2");

  t.SetCursor(3, 1);  // R4
  t.Delete();
  EXPECT_EQ(Designations(t), "R2,R3,R5,");
  EXPECT_EQ(t.CursorRow(), 2);

  t.SetCursor(3, 1);  // the last route
  t.Delete();
  EXPECT_EQ(Designations(t), "R2,R3,");
  EXPECT_EQ(t.CursorRow(), 2);
  EXPECT_EQ(t.RowCount(), 3);
  ExpectNumbered(t);
}

TEST(RouteTable, DeleteOnEmptyTableDoesNothing) {
  RouteTable t;
  int calls = 0;
  t.SetListener([&] { ++calls; });
  t.Delete();
  ExpectPlaceholder(t);
  EXPECT_FALSE(t.Modified());
  EXPECT_EQ(calls, 0);
}

TEST(RouteTable, MovesExchangeAllFourTextsAndStopAtTheEnds) {
  RouteTable t;
  Fill(t, 3);
  t.SetModified(false);

  t.SetCursor(1, 1);
  t.MoveUp();
  EXPECT_EQ(Designations(t), "R1,R2,R3,");
  EXPECT_FALSE(t.Modified());
  t.SetCursor(3, 1);
  t.MoveDown();
  EXPECT_EQ(Designations(t), "R1,R2,R3,");
  EXPECT_FALSE(t.Modified());

  t.SetCursor(2, 4);
  t.MoveDown();
  EXPECT_EQ(Designations(t), "R1,R3,R2,");
  EXPECT_EQ(t.CursorRow(), 3);
  EXPECT_EQ(t.Cell(3, 2), "s2");
  EXPECT_EQ(t.Cell(3, 3), "f2");
  EXPECT_EQ(t.Cell(3, 4), "m2");
  EXPECT_TRUE(t.Modified());
  t.MoveUp();
  EXPECT_EQ(t.CursorRow(), 2);
  for (int r = 1; r <= 3; ++r) {
    const std::string k = std::to_string(r);
    EXPECT_EQ(t.Cell(r, 0), k);
    EXPECT_EQ(t.Cell(r, 1), "R" + k);
    EXPECT_EQ(t.Cell(r, 2), "s" + k);
    EXPECT_EQ(t.Cell(r, 3), "f" + k);
    EXPECT_EQ(t.Cell(r, 4), "m" + k);
  }
}

TEST(RouteTable, UndoAllWithNothingStoredEmptiesTheTable) {
  RouteTable t;
  Fill(t, 4);
  t.SetCursor(4, 1);
  t.UndoAll();
  ExpectPlaceholder(t);
  EXPECT_FALSE(t.Modified());
  EXPECT_EQ(t.CursorRow(), 1);
}

TEST(RouteTable, UndoAllRestoresTheStoredList) {
  RouteTable t;
  auto& st = t.Stored();
  st.count = 2;
  st.records[0].SetTexts({"12", Cp("Вокзал"), Cp("Парк"), ""});
  st.records[1].SetTexts({"5A", "a", "b", "c"});
  t.LoadGridFromStored();
  t.SetModified(false);
  EXPECT_EQ(t.RowCount(), 3);

  Fill(t, 3);  // five routes now
  t.SetCursor(5, 2);
  t.UndoAll();
  EXPECT_FALSE(t.Modified());
  EXPECT_EQ(t.RouteCount(), 2);
  EXPECT_EQ(t.RowCount(), 3);
  EXPECT_EQ(t.CursorRow(), 2) << "the cursor moves into the grid";
  EXPECT_EQ(t.CursorColumn(), 2);
  EXPECT_EQ(t.Cell(1, 2), Cp("Вокзал"));
  EXPECT_EQ(t.Cell(2, 4), "c");
  ExpectNumbered(t);

  // A cursor row that still exists stays.
  t.SetCursor(1, 1);
  t.Delete();
  t.UndoAll();
  EXPECT_EQ(t.CursorRow(), 1);
  EXPECT_EQ(t.RouteCount(), 2);
}

TEST(RouteTable, LoadGridFromStoredLeavesTheFlag) {
  RouteTable t;
  t.SetModified(true);
  t.Stored().count = 1;
  t.Stored().records[0].Set(kDesignation, "9");
  t.LoadGridFromStored();
  EXPECT_TRUE(t.Modified());
  EXPECT_EQ(t.Cell(1, 1), "9");
  t.Stored().count = 0;
  t.LoadGridFromStored();
  ExpectPlaceholder(t);
}

TEST(RouteTable, ClearEmptiesStoredListAndGrid) {
  RouteTable t;
  Fill(t, 3);
  for (int r = 1; r <= 3; ++r) t.WriteRowToStored(r);
  t.Stored().count = 3;
  t.SetCursor(3, 1);
  t.Clear();
  ExpectPlaceholder(t);
  EXPECT_FALSE(t.Modified());
  EXPECT_EQ(t.Stored().count, 0);
  for (const auto& rec : t.Stored().records) EXPECT_TRUE(rec.IsEmpty());
}

TEST(RouteTable, SetCellCutsAPasteToTheFieldCapacity) {
  RouteTable t;
  Fill(t, 1);
  const std::string longText(300, 'x');
  for (int c = 1; c <= 4; ++c) {
    t.SetCell(1, c, longText);
    EXPECT_EQ(t.Cell(1, c).size(), kFieldCapacity[c - 1]) << "column " << c;
  }
  t.WriteRowToStored(1);
  EXPECT_EQ(t.Stored().records[0].Get(kMessage).size(), 256u);
}

TEST(RouteTable, PlaceholderAndNumberColumnAreNotEditable) {
  RouteTable t;
  t.SetCell(1, 1, "X");
  ExpectPlaceholder(t);
  EXPECT_FALSE(t.Modified());
  Fill(t, 1);
  t.SetCell(1, 0, "99");
  EXPECT_EQ(t.Cell(1, 0), "1");
}

TEST(RouteTable, TypingLimitsPerColumn) {
  RouteTable t;
  Fill(t, 1);
  for (int c = 1; c <= 4; ++c) {
    t.SetCursor(1, c);
    const std::size_t limit = kTypingLimit[c - 1];
    t.SetCell(1, c, std::string(limit - 1, 'a'));
    t.SetModified(false);
    EXPECT_EQ(t.FilterKey(U'b'), RouteTable::KeyVerdict::Pass) << "column " << c;
    EXPECT_TRUE(t.Modified());
    t.SetCell(1, c, std::string(limit, 'a'));
    t.SetModified(false);
    EXPECT_EQ(t.FilterKey(U'b'), RouteTable::KeyVerdict::Refuse) << "column " << c;
    EXPECT_EQ(t.FilterKey(U'Ж'), RouteTable::KeyVerdict::Refuse) << "column " << c;
    EXPECT_FALSE(t.Modified());
    EXPECT_EQ(t.Cell(1, c), std::string(limit, 'a'));
  }
}

TEST(RouteTable, RefusedKeyChangesNothingAtAll) {
  RouteTable t;
  Fill(t, 1);
  t.SetCursor(1, 1);
  t.SetCell(1, 1, Cp("12АБ"));  // four characters, four CP1251 bytes
  t.SetModified(false);
  int calls = 0;
  t.SetListener([&] { ++calls; });
  EXPECT_EQ(t.FilterKey(U' '), RouteTable::KeyVerdict::Refuse);
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(t.Modified());
  // Backspace still passes and marks the table modified.
  EXPECT_EQ(t.FilterKey(8), RouteTable::KeyVerdict::Pass);
  EXPECT_TRUE(t.Modified());
  EXPECT_GT(calls, 0);
}

TEST(RouteTable, FilterUsesTheEditorTextWhenGiven) {
  RouteTable t;
  Fill(t, 1);
  t.SetCursor(1, 1);
  t.SetCell(1, 1, "");
  EXPECT_EQ(t.FilterKey(U'x', "abcd"), RouteTable::KeyVerdict::Refuse);
  EXPECT_EQ(t.FilterKey(U'x', "abc"), RouteTable::KeyVerdict::Pass);
}

TEST(RouteTable, CharacterWithoutCp1251ByteIsRefused) {
  RouteTable t;
  Fill(t, 1);
  t.SetCursor(1, 2);
  t.SetCell(1, 2, "");
  t.SetModified(false);
  EXPECT_EQ(t.FilterKey(U'ä'), RouteTable::KeyVerdict::Refuse);
  EXPECT_EQ(t.FilterKey(U'\u4E2D'), RouteTable::KeyVerdict::Refuse);
  EXPECT_FALSE(t.Modified());
  EXPECT_EQ(t.FilterKey(U'№'), RouteTable::KeyVerdict::Pass);
  EXPECT_EQ(t.FilterKey(U'r'), RouteTable::KeyVerdict::Pass) << "r is an ordinary letter";
  EXPECT_EQ(t.CursorRow(), 1);
}

TEST(RouteTable, CtrlCNeverMarksButOtherControlKeysDo) {
  RouteTable t;
  Fill(t, 1);
  t.SetCursor(1, 1);
  t.SetCell(1, 1, "abcd");  // at the limit: no length check for control characters
  for (char32_t key : {char32_t(27), char32_t(13), char32_t(8), char32_t(22), char32_t(24)}) {
    t.SetModified(false);
    int calls = 0;
    t.SetListener([&] { ++calls; });
    EXPECT_EQ(t.FilterKey(key), RouteTable::KeyVerdict::Pass) << "code " << int(key);
    EXPECT_TRUE(t.Modified()) << "code " << int(key);
    EXPECT_GT(calls, 0);
    t.SetListener(nullptr);
  }
  t.SetModified(false);
  int calls = 0;
  t.SetListener([&] { ++calls; });
  EXPECT_EQ(t.FilterKey(3), RouteTable::KeyVerdict::PassQuiet);
  EXPECT_FALSE(t.Modified());
  EXPECT_EQ(calls, 0);
}

TEST(RouteTable, EnterAdvancesUnlessOnLastRowAndLeavesTheFlag) {
  RouteTable t;
  Fill(t, 2);
  t.SetModified(false);
  t.SetCursor(1, 3);
  t.EnterPressed();
  EXPECT_FALSE(t.Modified());
  EXPECT_EQ(t.CursorRow(), 2);
  EXPECT_EQ(t.CursorColumn(), 3);
  t.SetModified(true);
  t.EnterPressed();
  EXPECT_TRUE(t.Modified());
  EXPECT_EQ(t.CursorRow(), 2);
}

TEST(RouteTable, CursorIsClampedIntoTheGrid) {
  RouteTable t;
  Fill(t, 3);
  t.SetCursor(10, 9);
  EXPECT_EQ(t.CursorRow(), 3);
  EXPECT_EQ(t.CursorColumn(), 4);
  t.SetCursor(-1, -1);
  EXPECT_EQ(t.CursorRow(), 1);
  EXPECT_EQ(t.CursorColumn(), 0);
  EXPECT_EQ(t.Cell(0, 1), "");
  EXPECT_EQ(t.Cell(4, 1), "");
}

TEST(RouteRecord, FieldsAreCutAndZeroTerminated) {
  RouteRecord r;
  EXPECT_TRUE(r.IsEmpty());
  r.Set(kDesignation, "123456");
  r.Set(kStartStop, std::string(40, 'S'));
  r.Set(kFinalStop, std::string(16, 'F'));
  r.Set(kMessage, std::string(1000, 'M'));
  EXPECT_EQ(r.Get(kDesignation), "1234");
  EXPECT_EQ(r.Get(kStartStop), std::string(16, 'S'));
  EXPECT_EQ(r.Get(kFinalStop), std::string(16, 'F'));
  EXPECT_EQ(r.Get(kMessage), std::string(256, 'M'));
  EXPECT_EQ(r.designation[4], 0);
  EXPECT_EQ(r.startStop[16], 0);
  EXPECT_EQ(r.message[256], 0);
  // A shorter text leaves no tail of the longer one behind.
  r.Set(kStartStop, "ab");
  EXPECT_EQ(r.Get(kStartStop), "ab");
  EXPECT_EQ(r.startStop[5], 0);
  r.SetTexts({"", "", "", ""});
  EXPECT_TRUE(r.IsEmpty());
  EXPECT_EQ(r.Get(7), "");
}
