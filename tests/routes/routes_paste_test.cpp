// Pasted text under the typing rules, and the grid's spreadsheet copy and
// paste.
#include <gtest/gtest.h>

#include <string>

#include "routes/cp1251.h"
#include "routes/routetable.h"

using namespace velmora;

namespace {

TEST(CleanPastedText, TableOfPastes) {
  struct Case {
    std::u32string in;
    std::size_t room;
    const char* out;  // UTF-8
    bool dropped;
  };
  const Case cases[] = {
      {U"Вокзал", 16, "Вокзал", false},
      {U"a\r\nb\rc\nd\te", 16, "a b c d e", false},  // CR LF is one break
      {U"\r\n\r\n", 16, "  ", false},
      {U"中央Парк", 16, "Парк", true},  // dropped before the room is counted
      {U"A\u0001B\u007FC\u00E4", 16, "ABC", true},
      {U"€№«»", 16, "€№«»", false},
      {U"123456", 4, "1234", false},
      {U"1234中", 4, "1234", false},  // beyond the room nothing is looked at
      {U"ab", 0, "", false},
      {U"\U0001F600x", 1, "x", true},
  };
  for (const Case& c : cases) {
    const PastedText p = CleanPastedText(c.in, c.room);
    EXPECT_EQ(p.text, Cp(c.out)) << c.out;
    EXPECT_EQ(p.dropped, c.dropped) << c.out;
  }
}

RouteTable Table(int routes) {
  RouteTable t;
  StoredRouteList& s = t.Stored();
  for (int i = 0; i < routes; ++i) {
    s.records[i].SetTexts({"R" + std::to_string(i + 1), "s", "f", ""});
  }
  s.count = routes;
  t.LoadGridFromStored();
  return t;
}

TEST(RouteTable, PastedCellsGoRightAndDownAddingRoutesAndUndoAllRestores) {
  RouteTable t = Table(2);
  t.SetCursor(2, 3);
  const RouteTable::PasteResult r = t.PasteCells(U"x1\tx2\tcut\r\ny1\n\nz1\t中z2\n");
  EXPECT_TRUE(r.pasted);
  EXPECT_TRUE(r.dropped);
  EXPECT_FALSE(r.cut);
  EXPECT_TRUE(t.Modified());
  EXPECT_EQ(t.RouteCount(), 5);
  EXPECT_EQ(t.Cell(2, 2), "s");  // left of the cursor column: untouched
  EXPECT_EQ(t.Cell(2, 3), "x1");
  EXPECT_EQ(t.Cell(2, 4), "x2");  // a fifth column has no field
  EXPECT_EQ(t.Cell(3, 3), "y1");
  EXPECT_EQ(t.Cell(3, 1), "");
  EXPECT_EQ(t.Cell(4, 3), "");  // an empty line empties its cell
  EXPECT_EQ(t.Cell(5, 4), "z2");
  EXPECT_EQ(t.Cell(5, 0), "5");
  t.UndoAll();
  EXPECT_EQ(t.RouteCount(), 2);
  EXPECT_EQ(t.Cell(2, 3), "f");
  EXPECT_FALSE(t.Modified());
}

TEST(RouteTable, PasteStopsAtTheStoredListSizeAndCutsEachField) {
  RouteTable t = Table(255);
  t.SetCursor(255, 1);
  const RouteTable::PasteResult r =
      t.PasteCells(U"123456\t" + std::u32string(20, U'Ж') + U"\nlast\nover\nover");
  EXPECT_TRUE(r.cut);
  EXPECT_FALSE(r.dropped);
  EXPECT_EQ(t.RouteCount(), 256);
  EXPECT_EQ(t.Cell(255, 1), "1234");
  EXPECT_EQ(t.Cell(255, 2), Cp("ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ"));
  EXPECT_EQ(t.Cell(256, 1), "last");
  // Exactly full: nothing is cut.
  RouteTable full = Table(255);
  full.SetCursor(255, 1);
  EXPECT_FALSE(full.PasteCells(U"a\nb\n").cut);
  EXPECT_EQ(full.RouteCount(), 256);
  // An empty paste changes nothing, not even the flag.
  RouteTable clean = Table(1);
  EXPECT_FALSE(clean.PasteCells(U"").pasted);
  EXPECT_FALSE(clean.Modified());
}

TEST(RouteTable, CopiedCellsPasteBackToTheSameTable) {
  RouteTable t = Table(3);
  t.SetCell(2, 4, "a\tb");                             // as a file may hold it
  const std::string copied = t.CopyCells(1, 0, 9, 9);  // clamped to routes and fields
  EXPECT_EQ(copied, "R1\ts\tf\t\nR2\ts\tf\ta b\nR3\ts\tf\t\n");
  EXPECT_EQ(t.CopyCells(2, 2, 3, 3), "s\tf\ns\tf\n");
  RouteTable empty;
  empty.PasteCells(cp1251::Decode(copied));
  EXPECT_EQ(empty.RouteCount(), 3);
  EXPECT_EQ(empty.CopyCells(1, 1, 3, 4), copied);
}

}  // namespace
