// Writes the seed corpora of the fuzz targets with the program's own writers and packers:
//   make_corpus <corpus folder>
// (creates routelist/, routegroup/, firmware/, transport/, settings/, workbook/)
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Sub.h"
#include "base/cp1251.h"
#include "device/Formatm.h"
#include "device/routeimage.h"
#include "device/transport.h"
#include "routes/routelistfile.h"
#include "sheets/workbookwriter.h"

using namespace velmora;

namespace {

std::string g_root;
int g_failures = 0;

void Save(const std::string& target, const std::string& name, const std::string& bytes) {
  const std::string folder = g_root + "/" + target;
  mkdir(folder.c_str(), 0755);
  const std::string path = folder + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    ++g_failures;
  }
  if (f) std::fclose(f);
}

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

// ---- route lists

StoredRouteList List(const std::vector<RouteTexts>& routes) {
  StoredRouteList stored;
  for (const RouteTexts& r : routes) stored.records[stored.count++].SetTexts(r);
  return stored;
}

void RouteLists() {
  const FixedDateTimeFormat format;
  const DateTime when{2026, 12, 7, 14, 5, 9, 0};
  const DateTime midnight{2026, 12, 7, 0, 0, 0, 0};
  auto save = [&](const char* name, const StoredRouteList& list, const DateTime& t) {
    Save("routelist", name, WriteRouteList(list, format, t));
  };
  save("empty.mrp", List({}), midnight);
  save("two.mrp", List({{"12", Cp("Вокзал"), Cp("Парк"), ""},
                        {Cp("5А"), Cp("Рынок;ТЦ"), Cp("Аэропорт"), Cp("Через центр")}}),
       when);
  save("escapes.mrp", List({{"a;b", "c\\d", "x//y", "tab\there"},
                            {";;;;", "\\\\", "/", "line\r\nbreak"},
                            {"", "", "", ""}}),
       when);
  save("full.mrp", List({{"1234", std::string(16, 'S'), Cp("Конечная остановк"),
                          std::string(256, 'm')}}),
       when);
  std::vector<RouteTexts> many;
  for (int i = 0; i < 20; ++i) many.push_back({std::to_string(i), "A" + std::to_string(i), "B", ""});
  save("twenty.mrp", List(many), when);

  // Files that other editors leave behind: bare LF and CR line ends, a comment inside a
  // route line, a last line without its line end, more route lines than the list holds.
  Save("routelist", "lf.mrp", "//\n// x\n12;A;B;\n7;C//comment\n;;;\r\r\n9;tail");
  std::string big;
  for (int i = 0; i < 260; ++i) big += "1;a;b;\r\n";
  Save("routelist", "over256.mrp", big);
}

// ---- workbooks: the writer's own; the hand-made ones are the test fixtures
// (tests/data/workbooks), copied beside them

void Workbooks() {
  Save("workbook", "writer-two.xlsx",
       WriteRouteWorkbook(List({{"007", "=1+2", Cp("-Вокзал"), Cp("\"Мира\"; 'x")},
                                {"'", "@a", Cp("+7 Депо"), "_x0041_ \x01"}}))
           .bytes);
  Save("workbook", "writer-empty.xlsx", WriteRouteWorkbook(List({})).bytes);
}

// ---- route groups: length-prefixed strings, as Dorlan writes them

std::string S(const std::string& value) {
  return std::string(1, static_cast<char>(value.size() & 0xFF)) + value.substr(0, 255);
}

const std::string kNotice(36, 'N');
std::string Signature(const std::string& version, const std::string& kind) {
  return version + kNotice + kind;
}

std::string Group(const std::vector<std::string>& entries, const std::string& count) {
  std::string g = S(Signature("0201", "Vexa Group Line")) + S(Cp("Группа 1")) + S(count);
  for (const std::string& e : entries) g += S(e);
  return g;
}

struct Stop {
  std::string name;
  uint8_t flag = 0;
};

std::string StopRecords(const std::vector<Stop>& stops) {
  std::string s;
  for (const Stop& stop : stops) {
    s += S(stop.name + std::string(1, '\0') + "second");
    s += S(std::string(1, static_cast<char>(stop.flag ? stop.flag : 0x01)) + "text");
    s += S("z" + std::string(1, '\0') + "w");
  }
  return s;
}

std::string Line(const std::string& version, const std::string& designation,
                 const std::string& start, const std::string& final,
                 const std::vector<Stop>& stops, bool countInItem13 = false) {
  std::string l = S(Signature(version, "Vexa Single Line")) + S(designation) + S("..\\x\\pic.bmp") +
                  S("a" + std::string(1, '\0') + "b");
  for (int i = 0; i < 4; ++i) l += S("");
  if (version >= "0204") l += S("p" + std::string(1, '\0') + "q") + S("r" + std::string(1, '\0') + "s");
  const std::string count = "Count=" + std::to_string(stops.size());
  if (version >= "0209") l += S(start) + S(final) + S(countInItem13 ? count : "12");
  if (!countInItem13) l += S(count);
  return l + StopRecords(stops);
}

void RouteGroups() {
  const std::string sep = "#~#";
  const std::vector<Stop> plain = {{Cp("Вокзал")}, {Cp("Школа")}, {Cp("Рынок")}};
  const std::vector<Stop> marked = {{"A"}, {"B", 0x08}, {"C", 0x10}, {"D"}};
  const std::vector<Stop> markedB = {{"A"}, {"B", 0x10}, {"C", 0x08}, {"D"}};
  const std::string l1 = Line("0209", "12", Cp("Вокзал"), "", plain);
  const std::string l2 = Line("0201", "7", "", "", marked);
  const std::string l3 = Line("0204", Cp("12А  "), "", "", markedB);
  const std::string l4 = Line("0209", "123456", "", "", {}, true);
  const std::string l5 = Line("0209", "5", std::string(40, 'L'), std::string(30, 'F'), plain);

  Save("routegroup", "three", Group({"1.mrl", "2.mrl", "3.mrl"}, "Count=3") + sep + l1 + sep + l2 +
                                  sep + l3);
  Save("routegroup", "cases", Group({"1.MRL", "lines\\5.mrl", "./2.mrl", "4.mrl"}, "Count=4") +
                                  sep + l1 + sep + l2 + sep + "" + sep + l4 + sep + l5);
  Save("routegroup", "count0", Group({"1.mrl"}, "Count=0") + sep + l1);
  Save("routegroup", "lowercase", Group({"1.mrl"}, "count=1") + sep + l1);
  Save("routegroup", "early", Group({"1.mrl", "2.mrl"}, "Count=5") + sep + l1 + sep + l2);
  Save("routegroup", "missing", Group({"9.mrl", "C:\\data\\1.mrl", "1.mrl"}, "Count=3") + sep + l1);
  Save("routegroup", "cutstops", Group({"1.mrl"}, "Count=1") + sep + l1.substr(0, l1.size() - 9));
  Save("routegroup", "nocount", Group({"1.mrl"}, "Count=1") + sep +
                                    Line("0201", "9", "", "", {}).substr(0, 150));
  Save("routegroup", "shortsig", Group({"1.mrl"}, "Count=1") + sep + S("02") + S("33") +
                                     S("") + S("") + S("") + S("") + S("") + S("") + S("Count=1") +
                                     StopRecords({{"Solo", 0x18}}));
}

// ---- firmware files, packed as the CLI's encoder packs them

std::vector<uint8_t> Body(std::size_t n) {
  std::vector<uint8_t> body(n);
  for (std::size_t i = 0; i < n; ++i) body[i] = static_cast<uint8_t>(i * 37 + 11);
  return body;
}

void Firmware() {
  const uint32_t date = PackDosDateTime(DateTime{2009, 10, 10, 12, 0, 0, 0});
  const std::string title = Cp("КАДО-08 v1.05");
  Save("firmware", "empty.HAS", Bytes(EncodeFirmware({}, title, date, 2)));
  Save("firmware", "s300.HAS", Bytes(EncodeFirmware(Body(300), title, date, 2)));
  Save("firmware", "s2000.HAS", Bytes(EncodeFirmware(Body(2000), "16 characters!!!", date, 2)));
  Save("firmware", "scheme1.HAS", Bytes(EncodeFirmware(Body(600), title, date, 1)));
  Save("firmware", "scheme3.HAS", Bytes(EncodeFirmware(Body(512), title, date, 3)));
  Save("firmware", "scheme4.HAS", Bytes(EncodeFirmware(Body(100), title, date, 4)));

  std::vector<uint8_t> f = EncodeFirmware(Body(300), title, date, 2);
  std::vector<uint8_t> g = f;
  g[33] = 0x07;
  Save("firmware", "badmark.HAS", Bytes(g));
  g = f;
  g[0] = 0xFF, g[1] = 0xFF, g[2] = 0xFF, g[3] = 0xFF;   // FirmwareSize -1
  Save("firmware", "negative.HAS", Bytes(g));
  g = f;
  g[1] = 0x04;                                          // 1068 bytes: past the file
  Save("firmware", "pastend.HAS", Bytes(g));
  g = f;
  g[8] = 0xFF, g[9] = 0xFF, g[10] = 0xFF, g[11] = 0xFF;  // no valid date
  Save("firmware", "baddate.HAS", Bytes(g));
  Save("firmware", "short63.HAS", Bytes(std::vector<uint8_t>(f.begin(), f.begin() + 63)));
  Save("firmware", "header64.HAS", Bytes(std::vector<uint8_t>(f.begin(), f.begin() + 64)));
}

// ---- the transport: flags, image size, first, end, the reply, the call results

std::string Transport(uint8_t flags, uint32_t imageSize, uint32_t first, int32_t end,
                      const std::vector<uint8_t>& reply, const std::vector<uint8_t>& results) {
  std::string s(1, static_cast<char>(flags | (imageSize > 0xFFFF ? 4 : 0)));
  uint8_t b[3];
  EncodeLittleEndian(b, imageSize, 2);
  s.append(reinterpret_cast<char*>(b), 2);
  EncodeLittleEndian(b, first, 3);
  s.append(reinterpret_cast<char*>(b), 3);
  EncodeLittleEndian(b, static_cast<uint32_t>(end + 16), 3);
  s.append(reinterpret_cast<char*>(b), 3);
  s += static_cast<char>(reply.size());
  s.append(reply.begin(), reply.end());
  s.append(results.begin(), results.end());
  return s;
}

// What follows the report ID in the parameter reply.
std::vector<uint8_t> Reply(uint32_t blockSize, int32_t memorySize, std::size_t length = 7) {
  std::vector<uint8_t> r(length > 6 ? length - 1 : 6, 0);
  EncodeLittleEndian(&r[0], blockSize, 2);
  EncodeLittleEndian(&r[2], static_cast<uint32_t>(memorySize), 4);
  r.resize(length - 1);
  return r;
}

void Transports() {
  StoredRouteList stored = List({{"12", Cp("Вокзал"), Cp("Парк"), ""},
                                 {Cp("5А"), Cp("Рынок"), Cp("Аэропорт"), Cp("Через центр")}});
  WorkBuffer work;
  const RouteImageLayout layout = BuildRouteImage(stored, work);
  const uint32_t image = static_cast<uint32_t>(layout.length);

  Save("transport", "route", Transport(0, image, 0, static_cast<int32_t>(image),
                                       Reply(128, 8192), {}));
  Save("transport", "block64", Transport(1, 1000, 0, 1024, Reply(64, 8192, 132), {}));
  Save("transport", "fail3", Transport(0, 300, 0, 384, Reply(128, 8192), {0, 0, 0, 1}));
  Save("transport", "short", Transport(0, 300, 0, 384, Reply(128, 8192, 5), {}));
  Save("transport", "shortlen", Transport(0, 300, 0, 384, Reply(128, 8192), {2 | (5 << 2)}));
  Save("transport", "block0", Transport(0, 300, 0, 384, Reply(0, 8192), {}));
  Save("transport", "block129", Transport(0, 300, 0, 384, Reply(129, 8192), {}));
  Save("transport", "block1", Transport(0, 10, 3, 17, Reply(1, 8192), {}));
  Save("transport", "block100", Transport(0, 1000, 100, 900, Reply(100, 8192), {}));
  Save("transport", "memsmall", Transport(0, 8192, 0, 40000, Reply(128, 32768), {}));
  Save("transport", "memnegative", Transport(0, 300, 0, 384, Reply(128, -5), {}));
  Save("transport", "past64k", Transport(0, 66000, 65000, 66100, Reply(128, 70000), {}));
  Save("transport", "first100", Transport(0, 300, 100, 300, Reply(128, 8192), {}));
  Save("transport", "noblock", Transport(0, 300, 200, 200, Reply(128, 8192), {}));
  Save("transport", "paramfail", Transport(1, 300, 0, 384, Reply(128, 8192), {1}));
  Save("transport", "arrival", Transport(2, 1000, 0, 1024, Reply(128, 8192),
                                         {0, 2, 0, 2, 1, 0, 2, 0, 0}));
  Save("transport", "closefail", Transport(0, 100, 0, 128, Reply(128, 8192), {0, 0, 1}));
}

// ---- the settings file, as the file backend writes it

std::string ReadBack(const std::string& path) {
  std::string bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, got);
    std::fclose(f);
  }
  return bytes;
}

void Settings() {
  const std::string scratch = g_root + "/settings/.scratch";
  const std::string file = scratch + "/" + kSettingsFileName;
  const DateTime now{2026, 12, 8, 2, 45, 30, 0};
  auto save = [&](const char* name, SettingsValues values) {
    std::remove(file.c_str());
    if (!WriteSettings(*CreateFileSettingsBackend(scratch), values, now)) ++g_failures;
    Save("settings", name, ReadBack(file));
  };
  save("empty-file.conf", SettingsValues{});
  save("plain.conf", SettingsValues{0, "/home/op/routes/a.mrp", 1});
  save("escapes.conf", SettingsValues{0, "/home/op/Мои маршруты/x\\y\nz\x01.mrp", 0xFFFFFFFFu});
  std::remove(file.c_str());
  rmdir(scratch.c_str());

  // Values of the wrong type or size, and lines that are no value at all.
  Save("settings", "wrongtypes.conf",
       "LastDateTime=binary:0011\nLastFileBrel=dword:3\nAutoSend=string:5\n");
  Save("settings", "broken.conf",
       "# x\nLastDateTime=binary:000000000000e640\nLastFileBrel=string:a\\x4\nAutoSend=dword:99999999999\n"
       "junk\n=\nOther=expand:%HOME%\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_corpus <corpus folder>\n");
    return 2;
  }
  g_root = argv[1];
  mkdir(g_root.c_str(), 0755);
  RouteLists();
  RouteGroups();
  Firmware();
  Transports();
  Settings();
  Workbooks();
  return g_failures ? 1 : 0;
}
