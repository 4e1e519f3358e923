// A virtual КАДО at the kernel boundary: a FUSE file that answers the hidraw ioctls from
// the same device model as the simulated КАДО, a sysfs entry that libudev, hidapi and Wine
// take for a USB HID device, and the /dev node that points at the file. Run by
// scripts/hidstack.sh inside a private mount namespace; it plugs and unplugs on the
// commands of its control FIFO (one a line):
//   plug | unplug | boot | normal     re-enumerating like the device: removal, new identity, arrival
//   options OPTS                      the faults of OPTS from now on (the start's options otherwise)
//   mode NNN                          the node's permissions (octal)
//   save                              the memory into save=FILE now
// After each command the state file says what holds: commands=N plugged=0|1 identity=... mode=...
#define FUSE_USE_VERSION 35
#include <fuse.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/fileio.h"
#include "device/kado.h"
#include "device/kadomodel.h"
#include "device/simkado.h"

namespace {

namespace fs = std::filesystem;
using velmora::KadoModel;

constexpr char kFileName[] = "kado";
constexpr char kNodeName[] = "hidraw0";
constexpr char kPhys[] = "usb-0000:00:14.0-1/input0";

struct Settings {
  std::string stateDir, options, sysClass = "/sys/class/hidraw", sysChar = "/sys/dev/char",
                                 dev = "/dev";
  unsigned major = 245, minor = 0;
  bool detached = false;
};

struct OpenHandle {
  KadoModel::Handle model;
  int generation = 0;
};

// Everything the FUSE thread and the control thread share, under one lock.
struct Device {
  Settings settings;
  velmora::SimKadoOptions startOptions;
  KadoModel model;
  std::mutex lock;
  bool plugged = false;
  int generation = 0;    // counts plugs: a handle opened before the last unplug is dead
  int hidNumber = 0;     // the kernel numbers each new hid device
  unsigned mode = 0666;
  int commands = 0;
  std::map<uint64_t, OpenHandle> handles;
  uint64_t nextHandle = 1;
  std::string hidFolder;  // of the plugged device, under .tree
  std::chrono::steady_clock::time_point unpluggedAt;

  explicit Device(const velmora::SimKadoOptions& options) : startOptions(options), model(options) {}

  std::string FusePath() const { return settings.stateDir + "/fuse/" + kFileName; }
  std::string Tree() const { return settings.sysClass + "/.tree"; }
  std::string CharLink() const {
    return settings.sysChar + "/" + std::to_string(settings.major) + ":" + std::to_string(settings.minor);
  }
  bool Alive(const OpenHandle& h) const { return plugged && h.generation == generation; }

  void Plug();
  void Unplug();
  void WriteState();
  // Carries out one command; a restart that must come back after its re-enumeration pause
  // returns true, and the command is counted once ReplugAfterPause() has plugged it.
  bool Execute(const std::string& line);
  // Called without the lock: the bus watchers must be able to finish with the removal.
  void WaitForReenumeration();
  void ReplugAfterPause();
};

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

void Link(const std::string& target, const std::string& link) {
  std::error_code ignored;
  fs::remove(link, ignored);
  fs::create_directory_symlink(target, link, ignored);
}

std::string Hex4(unsigned value, bool upper) {
  char text[8];
  std::snprintf(text, sizeof text, upper ? "%04X" : "%04x", value & 0xFFFF);
  return text;
}

// A USB device that left comes back only after its re-enumeration: the bus watchers see
// the removal and the arrival apart (Wine's udev bus, given both at once, loses one of them).
constexpr auto kReenumeration = std::chrono::milliseconds(400);

// The sysfs entry first, then the node, atomically (a watcher never sees a node without
// its device); the node is a link to the FUSE file.
void Device::Plug() {
  if (plugged) return;
  const velmora::SimKadoOptions& o = model.Options();
  const unsigned vid = velmora::KadoVendorId, pid = model.ProductId();
  const std::string tree = Tree();
  const std::string usbDevice = tree + "/usb1/1-1";
  const std::string usbInterface = usbDevice + "/1-1:1.0";
  ++hidNumber;
  char hidName[32];
  std::snprintf(hidName, sizeof hidName, "0003:%04X:%04X.%04X", vid, pid, hidNumber);
  hidFolder = usbInterface + "/" + hidName;
  const std::string raw = hidFolder + "/hidraw/" + kNodeName;
  std::error_code ignored;
  for (const char* subsystem : {"usb", "hid", "hidraw"})
    fs::create_directories(tree + "/subsystem/" + subsystem, ignored);
  fs::create_directories(raw, ignored);

  const std::string product = o.productUtf8, manufacturer = o.manufacturerUtf8;
  WriteText(usbDevice + "/uevent", "DEVTYPE=usb_device\nDRIVER=usb\nPRODUCT=" + Hex4(vid, false) +
                                       "/" + Hex4(pid, false) + "/100\nBUSNUM=001\nDEVNUM=002\n");
  WriteText(usbDevice + "/idVendor", Hex4(vid, false) + "\n");
  WriteText(usbDevice + "/idProduct", Hex4(pid, false) + "\n");
  WriteText(usbDevice + "/bcdDevice", "0100\n");
  WriteText(usbDevice + "/manufacturer", manufacturer + "\n");
  WriteText(usbDevice + "/product", product + "\n");
  WriteText(usbDevice + "/serial", "\n");
  Link("../../subsystem/usb", usbDevice + "/subsystem");
  WriteText(usbInterface + "/uevent", "DEVTYPE=usb_interface\nINTERFACE=3/0/0\n");
  WriteText(usbInterface + "/bInterfaceNumber", "00\n");
  Link("../../../subsystem/usb", usbInterface + "/subsystem");
  WriteText(hidFolder + "/uevent", "DRIVER=hid-generic\nHID_ID=0003:0000" + Hex4(vid, true) + ":0000" +
                                       Hex4(pid, true) + "\nHID_NAME=" + manufacturer + " " + product +
                                       "\nHID_PHYS=" + kPhys + "\nHID_UNIQ=\n");
  const std::vector<uint8_t> descriptor = model.ReportDescriptor();
  WriteText(hidFolder + "/report_descriptor", std::string(descriptor.begin(), descriptor.end()));
  Link("../../../../subsystem/hid", hidFolder + "/subsystem");
  const std::string devNumbers = std::to_string(settings.major) + ":" + std::to_string(settings.minor);
  WriteText(raw + "/uevent", "MAJOR=" + std::to_string(settings.major) + "\nMINOR=" +
                                 std::to_string(settings.minor) + "\nDEVNAME=" + kNodeName + "\n");
  WriteText(raw + "/dev", devNumbers + "\n");
  Link("../../../../../../subsystem/hidraw", raw + "/subsystem");
  Link("../..", raw + "/device");

  const std::string fromClass = raw.substr(settings.sysClass.size() + 1);
  Link(fromClass, settings.sysClass + "/" + kNodeName);
  // /sys/dev/char/MAJ:MIN, where a lookup by device number goes.
  Link(fs::relative(raw, settings.sysChar, ignored).string(), CharLink());

  const std::string node = settings.dev + "/" + kNodeName;
  const std::string temporary = node + ".tmp";
  fs::remove(temporary, ignored);
  fs::create_symlink(FusePath(), temporary, ignored);
  fs::rename(temporary, node, ignored);
  ++generation;
  plugged = true;
}

// The node first, then the sysfs entry, as the kernel takes a device away.
void Device::Unplug() {
  if (!plugged) return;
  plugged = false;
  unpluggedAt = std::chrono::steady_clock::now();
  std::error_code ignored;
  fs::remove(settings.dev + "/" + kNodeName, ignored);
  fs::remove(settings.sysClass + "/" + kNodeName, ignored);
  fs::remove(CharLink(), ignored);
  fs::remove_all(Tree() + "/usb1", ignored);
}

void Device::WriteState() {
  char modeText[8];
  std::snprintf(modeText, sizeof modeText, "%03o", mode);
  velmora::WriteFileAtomic(settings.stateDir + "/state",
                           "commands=" + std::to_string(commands) + "\nplugged=" +
                               (plugged ? "1" : "0") + "\nidentity=" +
                               (model.Options().boot ? "boot" : "normal") + "\nmode=" + modeText +
                               "\n");
}

void Device::WaitForReenumeration() {
  std::chrono::steady_clock::time_point due;
  {
    std::lock_guard<std::mutex> guard(lock);
    due = unpluggedAt + kReenumeration;
  }
  if (std::chrono::steady_clock::now() < due) std::this_thread::sleep_until(due);
}

void Device::ReplugAfterPause() {
  WaitForReenumeration();
  std::lock_guard<std::mutex> guard(lock);
  Plug();
  ++commands;
  WriteState();
}

bool Device::Execute(const std::string& line) {
  const std::size_t blank = line.find(' ');
  const std::string word = line.substr(0, blank);
  const std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
  if (word == "plug") {
    Plug();
  } else if (word == "unplug") {
    Unplug();
  } else if (word == "boot" || word == "normal") {
    // A restart into the other identity under the same node.
    const bool wasPlugged = plugged;
    Unplug();
    model.SetBoot(word == "boot");
    model.Save();
    if (wasPlugged) return true;
  } else if (word == "options") {
    velmora::SimKadoOptions options = startOptions;
    std::string error;
    if (!velmora::ParseSimKadoOptions(rest, options, error)) {
      std::fprintf(stderr, "velmora-virtual-kado: options: %s\n", error.c_str());
    } else {
      // The identity and the memory stay: only what the device answers changes.
      options.boot = model.Options().boot;
      if (options.saveFile.empty()) options.saveFile = startOptions.saveFile;
      model.Options() = options;
    }
  } else if (word == "mode") {
    mode = static_cast<unsigned>(std::strtoul(rest.c_str(), nullptr, 8)) & 0777;
  } else if (word == "save") {
    model.Save();
  } else if (!word.empty()) {
    std::fprintf(stderr, "velmora-virtual-kado: unknown command: %s\n", line.c_str());
  }
  ++commands;
  WriteState();
  return false;
}

Device* g_device = nullptr;

OpenHandle* Find(fuse_file_info* fi) {
  auto it = g_device->handles.find(fi->fh);
  return it == g_device->handles.end() ? nullptr : &it->second;
}

int GetAttr(const char* path, struct stat* st, fuse_file_info*) {
  std::memset(st, 0, sizeof *st);
  if (std::strcmp(path, "/") == 0) {
    st->st_mode = S_IFDIR | 0755;
    st->st_nlink = 2;
    return 0;
  }
  if (std::strcmp(path + 1, kFileName) != 0) return -ENOENT;
  std::lock_guard<std::mutex> guard(g_device->lock);
  st->st_mode = S_IFREG | g_device->mode;
  st->st_nlink = 1;
  return 0;
}

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
            fuse_readdir_flags) {
  if (std::strcmp(path, "/") != 0) return -ENOENT;
  fill(buffer, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  fill(buffer, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  fill(buffer, kFileName, nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  return 0;
}

int Open(const char* path, fuse_file_info* fi) {
  if (std::strcmp(path + 1, kFileName) != 0) return -ENOENT;
  std::lock_guard<std::mutex> guard(g_device->lock);
  if (!g_device->plugged) return -ENODEV;
  fi->direct_io = 1;
  fi->nonseekable = 1;
  fi->fh = g_device->nextHandle++;
  g_device->handles[fi->fh] = OpenHandle{{}, g_device->generation};
  return 0;
}

int Release(const char*, fuse_file_info* fi) {
  std::lock_guard<std::mutex> guard(g_device->lock);
  g_device->handles.erase(fi->fh);
  return 0;
}

// The КАДО sends no input reports: nothing is ever there to read.
int Read(const char*, char*, size_t, off_t, fuse_file_info* fi) {
  std::lock_guard<std::mutex> guard(g_device->lock);
  const OpenHandle* h = Find(fi);
  return h && g_device->Alive(*h) ? -EAGAIN : -ENODEV;
}

// Nor has it output reports: a device stalls on one.
int Write(const char*, const char*, size_t, off_t, fuse_file_info* fi) {
  std::lock_guard<std::mutex> guard(g_device->lock);
  const OpenHandle* h = Find(fi);
  return h && g_device->Alive(*h) ? -EPIPE : -ENODEV;
}

// Nothing ready, ever, while plugged (a reader that polls must not spin); a hang-up after.
int Poll(const char*, fuse_file_info* fi, fuse_pollhandle* ph, unsigned* revents) {
  if (ph) fuse_pollhandle_destroy(ph);
  std::lock_guard<std::mutex> guard(g_device->lock);
  const OpenHandle* h = Find(fi);
  *revents = h && g_device->Alive(*h) ? 0 : POLLHUP | POLLERR;
  return 0;
}

// A string ioctl as hidraw answers it: as much as fits, the zero included, and its length.
int CopyString(const std::string& text, void* data, std::size_t size) {
  const std::size_t length = std::min(text.size() + 1, size);
  std::memcpy(data, text.c_str(), length);
  return static_cast<int>(length);
}

int Ioctl(const char*, unsigned int cmd, void*, fuse_file_info* fi, unsigned int, void* data) {
  std::lock_guard<std::mutex> guard(g_device->lock);
  Device& d = *g_device;
  OpenHandle* h = Find(fi);
  if (!h || !d.Alive(*h)) return -ENODEV;
  if (_IOC_TYPE(cmd) != 'H') return -ENOTTY;   // the evdev probes of Wine's bus
  const std::size_t size = _IOC_SIZE(cmd);
  const velmora::SimKadoOptions& o = d.model.Options();
  switch (_IOC_NR(cmd)) {
    case _IOC_NR(HIDIOCGRDESCSIZE):
      if (size < sizeof(int)) return -EINVAL;
      *static_cast<int*>(data) = static_cast<int>(d.model.ReportDescriptor().size());
      return 0;
    case _IOC_NR(HIDIOCGRDESC): {
      if (size < sizeof(hidraw_report_descriptor)) return -EINVAL;
      const std::vector<uint8_t> descriptor = d.model.ReportDescriptor();
      auto* out = static_cast<hidraw_report_descriptor*>(data);
      out->size = static_cast<__u32>(std::min<std::size_t>(descriptor.size(), HID_MAX_DESCRIPTOR_SIZE));
      std::memcpy(out->value, descriptor.data(), out->size);
      return 0;
    }
    case _IOC_NR(HIDIOCGRAWINFO): {
      if (size < sizeof(hidraw_devinfo)) return -EINVAL;
      auto* out = static_cast<hidraw_devinfo*>(data);
      out->bustype = BUS_USB;
      out->vendor = static_cast<__s16>(velmora::KadoVendorId);
      out->product = static_cast<__s16>(d.model.ProductId());
      return 0;
    }
    case _IOC_NR(HIDIOCGRAWNAME(0)):
      return CopyString(o.manufacturerUtf8 + " " + o.productUtf8, data, size);
    case _IOC_NR(HIDIOCGRAWPHYS(0)):
      return CopyString(kPhys, data, size);
    case _IOC_NR(HIDIOCGRAWUNIQ(0)):
      return CopyString("", data, size);
    case _IOC_NR(HIDIOCGFEATURE(0)): {
      auto* buffer = static_cast<uint8_t*>(data);
      if (size == 0 || (buffer[0] != 1 && buffer[0] != 2)) return -EPIPE;
      // A device answers at most its report's declared length, whatever was asked for.
      std::size_t length = std::min(size, d.model.ReportLength());
      if (!d.model.GetFeature(h->model, buffer, length)) return -EPIPE;
      return static_cast<int>(length);
    }
    case _IOC_NR(HIDIOCSFEATURE(0)): {
      const auto* buffer = static_cast<const uint8_t*>(data);
      if (size == 0 || (buffer[0] != 1 && buffer[0] != 2)) return -EPIPE;
      if (size != d.model.ReportLength()) return -EPIPE;
      if (!d.model.SetFeature(h->model, buffer, size)) return -EPIPE;
      return static_cast<int>(size);
    }
    default:
      return -ENOTTY;
  }
}

void Control(Device& d) {
  const std::string path = d.settings.stateDir + "/control";
  // Opened for writing too, so the FIFO never reads as ended between two writers.
  std::FILE* in = std::fopen(path.c_str(), "r+");
  if (!in) {
    std::perror("velmora-virtual-kado: control");
    return;
  }
  char line[4096];
  while (std::fgets(line, sizeof line, in)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.compare(0, 4, "plug") == 0) d.WaitForReenumeration();
    bool replug = false;
    {
      std::lock_guard<std::mutex> guard(d.lock);
      replug = d.Execute(text);
    }
    if (replug) d.ReplugAfterPause();
  }
}

int Usage() {
  std::fputs("usage: velmora-virtual-kado --state DIR [--options OPTS] [--detached]\n"
             "       [--sys-class DIR] [--sys-char DIR] [--dev DIR] [--devnum MAJ:MIN]\n",
             stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Settings s;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--detached") s.detached = true;
    else if (arg == "--state" && hasValue) s.stateDir = argv[++i];
    else if (arg == "--options" && hasValue) s.options = argv[++i];
    else if (arg == "--sys-class" && hasValue) s.sysClass = argv[++i];
    else if (arg == "--sys-char" && hasValue) s.sysChar = argv[++i];
    else if (arg == "--dev" && hasValue) s.dev = argv[++i];
    else if (arg == "--devnum" && hasValue && std::sscanf(argv[++i], "%u:%u", &s.major, &s.minor) == 2) {}
    else return Usage();
  }
  if (s.stateDir.empty()) return Usage();
  velmora::SimKadoOptions options;
  std::string error;
  if (!velmora::ParseSimKadoOptions(s.options, options, error)) {
    std::fprintf(stderr, "velmora-virtual-kado: %s\n", error.c_str());
    return 2;
  }
  Device device(options);
  device.settings = s;
  g_device = &device;

  const std::string mountPoint = s.stateDir + "/fuse";
  const std::string control = s.stateDir + "/control";
  std::error_code ignored;
  fs::create_directories(mountPoint, ignored);
  fs::remove(control, ignored);
  if (mkfifo(control.c_str(), 0666) != 0 || chmod(control.c_str(), 0666) != 0) {
    std::perror("velmora-virtual-kado: mkfifo");
    return 1;
  }

  fuse_operations ops{};
  ops.getattr = GetAttr;
  ops.readdir = ReadDir;
  ops.open = Open;
  ops.release = Release;
  ops.read = Read;
  ops.write = Write;
  ops.poll = Poll;
  ops.ioctl = Ioctl;
  // Everyone may try the node; its mode decides (as udev's rules decide for a real one).
  const char* fuseArgs[] = {argv[0], "-o", "allow_other,default_permissions,fsname=velmora-kado",
                            "-o", "attr_timeout=0,entry_timeout=0,negative_timeout=0"};
  fuse_args args = FUSE_ARGS_INIT(5, const_cast<char**>(fuseArgs));
  fuse* f = fuse_new(&args, &ops, sizeof ops, nullptr);
  if (!f || fuse_mount(f, mountPoint.c_str()) != 0) {
    std::fprintf(stderr, "velmora-virtual-kado: cannot mount %s\n", mountPoint.c_str());
    return 1;
  }
  fuse_set_signal_handlers(fuse_get_session(f));
  {
    std::lock_guard<std::mutex> guard(device.lock);
    device.model.SetUnplugHandler([&device] {
      device.Unplug();
      device.WriteState();
    });
    device.model.Save();
    if (!s.detached && !options.detached) device.Plug();
    device.WriteState();
  }
  std::thread(Control, std::ref(device)).detach();
  // attach-after=MS: plugged in that long after start, as the simulated КАДО arrives.
  if (options.attachAfterMs >= 0) {
    std::thread([&device, ms = options.attachAfterMs] {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      std::lock_guard<std::mutex> guard(device.lock);
      device.Plug();
      device.WriteState();
    }).detach();
  }

  const int loop = fuse_loop(f);
  {
    std::lock_guard<std::mutex> guard(device.lock);
    device.Unplug();
  }
  fuse_remove_signal_handlers(fuse_get_session(f));
  fuse_unmount(f);
  fuse_destroy(f);
  fs::remove(control, ignored);
  return loop == 0 ? 0 : 1;
}
