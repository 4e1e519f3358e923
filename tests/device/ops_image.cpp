// The route image: byte layout, checksums and the capacity rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "device/routeimage.h"

namespace velmora {
namespace {

using Bytes = std::vector<uint8_t>;

struct Route {
  std::string designation, start, final, message;
};

std::unique_ptr<StoredRouteList> MakeList(const std::vector<Route>& routes) {
  auto list = std::make_unique<StoredRouteList>();
  for (std::size_t i = 0; i < routes.size(); ++i) {
    list->records[i].SetTexts({routes[i].designation, routes[i].start, routes[i].final,
                               routes[i].message});
  }
  list->count = static_cast<int>(routes.size());
  return list;
}

Bytes Slice(const WorkBuffer& work, int from, int to) {
  return Bytes(work.begin() + from, work.begin() + to);
}

std::string Chars(std::size_t n, char c) { return std::string(n, c); }

// The rule as it is written down: lay the whole list out in a buffer big enough for
// anything, and rebuild with one route fewer while the image is longer than 8192.
Bytes ReferenceImage(const StoredRouteList& stored, int& routes) {
  int n = stored.count;
  for (;;) {
    Bytes image(100000, 0xFF);
    std::size_t pos = 4 * (n + 1) + 8;
    for (int i = 0; i < n; ++i) {
      const RouteRecord& r = stored.records[i];
      const std::size_t start = pos;
      std::string des = r.Get(kDesignation).substr(0, 4);
      des.resize(4, ' ');
      image[pos++] = 0x01;
      for (char c : des) image[pos++] = static_cast<uint8_t>(c);
      image[pos++] = 0x00;
      auto text = [&](uint8_t tag, const std::string& s) {
        image[pos++] = tag;
        for (char c : s) image[pos++] = static_cast<uint8_t>(c);
        image[pos++] = 0x00;
      };
      text(0x0B, r.Get(kStartStop));
      text(0x0C, r.Get(kFinalStop));
      if (!r.Get(kMessage).empty()) text(0x02, r.Get(kMessage));
      image[pos++] = 0x00;
      const std::size_t e = 8 + 4 * i;
      image[e] = start & 0xFF;
      image[e + 1] = start >> 8;
      image[e + 2] = (pos - start) & 0xFF;
      image[e + 3] = (pos - start) >> 8;
    }
    const std::size_t length = (pos + 31) / 32 * 32;
    if (length > 8192) {
      --n;
      continue;
    }
    image[0] = image[1] = 0;
    image[2] = length & 0xFF;
    image[3] = length >> 8;
    image[4] = n & 0xFF;
    image[5] = n >> 8;
    uint8_t sum = 0, x = 0;
    for (std::size_t i = 0; i < length; ++i) {
      sum = static_cast<uint8_t>(sum + image[i]);
      x ^= image[i];
    }
    image[0] = sum;
    image[1] = x;
    image.resize(kWorkBufferSize);
    routes = n;
    return image;
  }
}

class RouteImageTest : public ::testing::Test {
 protected:
  RouteImageLayout Build(const StoredRouteList& list) {
    work_->fill(0x5A);   // stale contents from an earlier build must not show through
    return BuildRouteImage(list, *work_);
  }
  std::unique_ptr<WorkBuffer> work_ = std::make_unique<WorkBuffer>();
};

TEST_F(RouteImageTest, OneRouteWithoutMessageIsTheKnown32ByteImage) {
  auto list = MakeList({{"12", "A", "B", ""}});
  const RouteImageLayout layout = Build(*list);
  EXPECT_EQ(layout.routes, 1);
  EXPECT_EQ(layout.length, 32);
  const Bytes expected = {0x73, 0xC5, 0x20, 0x00, 0x01, 0x00, 0xFF, 0xFF,   // header
                          0x10, 0x00, 0x0D, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,   // index, end entry
                          0x01, 0x31, 0x32, 0x20, 0x20, 0x00, 0x0B, 0x41,   // record
                          0x00, 0x0C, 0x42, 0x00, 0x00, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(Slice(*work_, 0, 32), expected);
  EXPECT_TRUE(std::all_of(work_->begin() + 32, work_->end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(RouteImageTest, OneRouteWithMessageIsTheKnown64ByteImage) {
  auto list = MakeList({{"12", "A", "B", "Hi"}});
  const RouteImageLayout layout = Build(*list);
  EXPECT_EQ(layout.length, 64);
  EXPECT_EQ(Slice(*work_, 0, 8), (Bytes{0x2E, 0x9A, 0x40, 0x00, 0x01, 0x00, 0xFF, 0xFF}));
  EXPECT_EQ(Slice(*work_, 8, 12), (Bytes{0x10, 0x00, 0x11, 0x00}));
  EXPECT_EQ(Slice(*work_, 25, 33), (Bytes{0x0C, 0x42, 0x00, 0x02, 0x48, 0x69, 0x00, 0x00}));
  EXPECT_EQ(Slice(*work_, 33, 64), Bytes(31, 0xFF));
}

TEST_F(RouteImageTest, DesignationIsPaddedToFourBytesWithoutTerminator) {
  auto list = MakeList({{"7", "", "", ""}, {"123\xC0", "", "", ""}});
  Build(*list);
  // Index of 2 entries + end entry: the first record starts at 20 and is 11 bytes long.
  EXPECT_EQ(Slice(*work_, 20, 27), (Bytes{0x01, '7', ' ', ' ', ' ', 0x00, 0x0B}));
  EXPECT_EQ(Slice(*work_, 31, 38), (Bytes{0x01, '1', '2', '3', 0xC0, 0x00, 0x0B}));
}

TEST_F(RouteImageTest, FourCharacterCp1251DesignationFillsTheField) {
  auto list = MakeList({{"\xC0\xC1\xC2\xC3", "\xE0", "\xFF", ""}});
  Build(*list);
  EXPECT_EQ(Slice(*work_, 16, 29), (Bytes{0x01, 0xC0, 0xC1, 0xC2, 0xC3, 0x00, 0x0B, 0xE0, 0x00,
                                          0x0C, 0xFF, 0x00, 0x00}));
}

TEST_F(RouteImageTest, EmptyTextsKeepTheirTagsAndAnEmptyMessageIsLeftOut) {
  auto list = MakeList({{"1", "", "", ""}, {"2", "S", "F", "M"}});
  const RouteImageLayout layout = Build(*list);
  EXPECT_EQ(layout.length, 64);
  EXPECT_EQ(Slice(*work_, 8, 16), (Bytes{20, 0, 11, 0, 31, 0, 16, 0}));
  EXPECT_EQ(Slice(*work_, 20, 31), (Bytes{0x01, '1', ' ', ' ', ' ', 0x00, 0x0B, 0x00, 0x0C, 0x00, 0x00}));
  EXPECT_EQ(Slice(*work_, 31, 47), (Bytes{0x01, '2', ' ', ' ', ' ', 0x00, 0x0B, 'S', 0x00, 0x0C, 'F',
                                          0x00, 0x02, 'M', 0x00, 0x00}));
}

TEST_F(RouteImageTest, ChecksumsCoverTheWholeImageWithTheirOwnBytesZero) {
  auto list = MakeList({{"1", "Вокзал", "Парк", "Привет"}, {"22", "a", "b", ""}});
  const RouteImageLayout layout = Build(*list);
  uint8_t sum = 0, x = 0;
  for (int i = 2; i < layout.length; ++i) {
    sum = static_cast<uint8_t>(sum + (*work_)[i]);
    x ^= (*work_)[i];
  }
  EXPECT_EQ((*work_)[0], sum);
  EXPECT_EQ((*work_)[1], x);
}

TEST_F(RouteImageTest, FortySevenOf256MessageRoutesFillExactly8192) {
  std::vector<Route> routes(256, {"1234", Chars(15, 's'), Chars(15, 'f'), Chars(127, 'm')});
  auto list = MakeList(routes);
  const RouteImageLayout layout = Build(*list);
  EXPECT_EQ(layout.routes, 47);
  EXPECT_EQ(layout.length, 8192);
  EXPECT_EQ((*work_)[4], 47);
  EXPECT_EQ((*work_)[5], 0);
  EXPECT_EQ((*work_)[2], 0x00);
  EXPECT_EQ((*work_)[3], 0x20);
  // Record 47 ends at 8 + 4 * 48 + 47 * 170 = 8190; the end entry follows the 47 entries.
  EXPECT_EQ(Slice(*work_, 8 + 4 * 47, 8 + 4 * 48), Bytes(4, 0xFF));
  EXPECT_EQ(Slice(*work_, 8187, 8192), (Bytes{'m', 0x00, 0x00, 0xFF, 0xFF}));
}

TEST_F(RouteImageTest, HundredEightyOneShortRoutesGive8160) {
  std::vector<Route> routes(256, {"1234", Chars(15, 's'), Chars(15, 'f'), ""});
  auto list = MakeList(routes);
  const RouteImageLayout layout = Build(*list);
  EXPECT_EQ(layout.routes, 181);
  EXPECT_EQ(layout.length, 8160);
}

TEST_F(RouteImageTest, RecordsEndingAt8192StayButEnding8193LosesTheLastRoute) {
  // 47 records of 170 end at 8190; two more message bytes on the last make 8192.
  std::vector<Route> routes(47, {"1", Chars(15, 's'), Chars(15, 'f'), Chars(127, 'm')});
  routes.back().message = Chars(129, 'm');
  auto fits = MakeList(routes);
  RouteImageLayout layout = Build(*fits);
  EXPECT_EQ(layout.routes, 47);
  EXPECT_EQ(layout.length, 8192);
  EXPECT_EQ((*work_)[8191], 0x00);   // the last record's end byte is the image's last byte

  routes.back().message = Chars(130, 'm');
  auto over = MakeList(routes);
  layout = Build(*over);
  EXPECT_EQ(layout.routes, 46);
  EXPECT_EQ(layout.length, (8 + 4 * 47 + 46 * 170 + 31) / 32 * 32);
  EXPECT_EQ(layout.wanted, 8224);   // what all 47 would need
}

TEST_F(RouteImageTest, FullSizeRecordsStayInsideTheBufferAndMatchTheRule) {
  std::vector<Route> routes(256, {"ABCD", Chars(16, 's'), Chars(16, 'f'), Chars(256, 'm')});
  auto list = MakeList(routes);
  const RouteImageLayout layout = Build(*list);
  int expectedRoutes = 0;
  const Bytes expected = ReferenceImage(*list, expectedRoutes);
  EXPECT_EQ(layout.routes, 26);   // 12 + 305 * 26 = 7942
  EXPECT_EQ(layout.routes, expectedRoutes);
  EXPECT_EQ(layout.length, 7968);
  EXPECT_TRUE(std::equal(work_->begin(), work_->end(), expected.begin()));
}

TEST_F(RouteImageTest, RandomListsEqualTheRebuildRule) {
  std::mt19937 rng(20091010);
  auto text = [&](std::size_t max) {
    std::string s(std::uniform_int_distribution<std::size_t>(0, max)(rng), ' ');
    for (char& c : s) c = static_cast<char>(std::uniform_int_distribution<int>(1, 255)(rng));
    return s;
  };
  for (int round = 0; round < 40; ++round) {
    const int count = std::uniform_int_distribution<int>(0, 256)(rng);
    const std::size_t maxMessage = round % 2 ? 256 : 40;
    std::vector<Route> routes;
    for (int i = 0; i < count; ++i) routes.push_back({text(4), text(16), text(16), text(maxMessage)});
    auto list = MakeList(routes);
    const RouteImageLayout layout = Build(*list);
    int expectedRoutes = 0;
    const Bytes expected = ReferenceImage(*list, expectedRoutes);
    ASSERT_EQ(layout.routes, expectedRoutes) << "round " << round;
    ASSERT_EQ(layout.length, expected[2] | expected[3] << 8) << "round " << round;
    ASSERT_TRUE(std::equal(work_->begin(), work_->end(), expected.begin())) << "round " << round;
    // The gauge's measure gives what the build lays out, and says when routes were dropped.
    const RouteImageLayout measured = MeasureRouteImage(*list);
    ASSERT_EQ(measured.routes, layout.routes) << "round " << round;
    ASSERT_EQ(measured.length, layout.length) << "round " << round;
    if (layout.routes == count) {
      ASSERT_EQ(measured.wanted, layout.length) << "round " << round;
    } else {
      ASSERT_GT(measured.wanted, kMaxRouteImageSize) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace velmora
