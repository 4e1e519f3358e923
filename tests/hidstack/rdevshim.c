/* Loaded with LD_PRELOAD into the Linux programs that meet the virtual КАДО: its node is a
   FUSE file, which cannot be a character device, so fstat() on it reports the device number
   that its sysfs entry (/sys/dev/char/MAJ:MIN) carries. hidapi finds an opened device's
   strings by that number. Every other descriptor is left as the system reports it. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

static int FakeDevice(int fd, dev_t *rdev) {
  const char *file = getenv("VELMORA_HIDSTACK_FUSEFILE");
  const char *numbers = getenv("VELMORA_HIDSTACK_RDEV");
  if (!file || !numbers) return 0;
  char link[64], target[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = readlink(link, target, sizeof target - 1);
  if (n < 0) return 0;
  target[n] = '\0';
  unsigned major, minor;
  if (strcmp(target, file) != 0 || sscanf(numbers, "%u:%u", &major, &minor) != 2) return 0;
  *rdev = makedev(major, minor);
  return 1;
}

int fstat(int fd, struct stat *st) {
  static int (*real)(int, struct stat *);
  if (!real) real = (int (*)(int, struct stat *))dlsym(RTLD_NEXT, "fstat");
  const int result = real(fd, st);
  dev_t rdev;
  if (result == 0 && FakeDevice(fd, &rdev)) st->st_rdev = rdev;
  return result;
}

int fstat64(int fd, struct stat64 *st) {
  static int (*real)(int, struct stat64 *);
  if (!real) real = (int (*)(int, struct stat64 *))dlsym(RTLD_NEXT, "fstat64");
  const int result = real(fd, st);
  dev_t rdev;
  if (result == 0 && FakeDevice(fd, &rdev)) st->st_rdev = rdev;
  return result;
}
