// Pasted text under the typing rules, and the grid's spreadsheet copy and paste.
#include <gtest/gtest.h>

#include <string>

#include "base/cp1251.h"
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
  for (int i = 0; i < routes; ++i) t.Stored().records[i].SetTexts({"R", "s", "f", ""});
  t.Stored().count = routes;
  t.LoadGridFromStored();
  return t;
}

TEST(RouteTable, PastedCellsAddRoutesUpToTheStoredListSize) {
  struct Case {
    int routes, cursorRow;
    std::u32string text;
    int routesAfter;
    bool cut;
    const char* lastCell;  // column 1 of the last route
  };
  const Case cases[] = {
      {2, 2, U"a\r\n\nb\n", 4, false, "b"},    // an empty line empties its cell
      {255, 255, U"a\nb\n", 256, false, "b"},  // exactly full
      {255, 255, U"a\nb\nc", 256, true, "b"},
      {0, 1, U"x\ty\tz\tw\tv", 1, false, "x"},  // a fifth cell has no field
      {1, 1, U"", 1, false, "R"},               // nothing pasted: not even the flag
  };
  for (const Case& c : cases) {
    RouteTable t = Table(c.routes);
    t.SetCursor(c.cursorRow, 1);
    const RouteTable::PasteResult r = t.PasteCells(c.text);
    EXPECT_EQ(t.RouteCount(), c.routesAfter) << c.routes;
    EXPECT_EQ(r.cut, c.cut) << c.routes;
    EXPECT_EQ(t.Cell(t.RouteCount(), 1), c.lastCell) << c.routes;
    EXPECT_EQ(t.Modified(), !c.text.empty()) << c.routes;
  }
}

}  // namespace
