/* The libc calls through which a program reaches hidraw, wrapped: paths
   under /sys that belong to the virtual interfaces are rewritten into the
   fixture's own tree, /dev/hidrawN is answered by the fixture, and calls on
   its descriptors go to it. Everything else passes through unchanged.

   glibc has several entry points for most of these (open64, __open_2 from
   _FORTIFY_SOURCE, __xstat from programs built before glibc 2.33, ...);
   each is wrapped, since a program calls whichever its headers chose. */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/magic.h>
#include <poll.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "vjoy_core.h"

#define REAL(name, type)               \
  static __typeof__(type) real_##name; \
  if (!real_##name) real_##name = (type)dlsym(RTLD_NEXT, #name)

/* `path` itself when absolute; else the folder of `dirfd` joined with it,
   when that folder is under /sys (the only place taken over by folder);
   else NULL. libudev walks sysfs one component at a time from a descriptor
   of "/", so the step from the real /sys into the fixture's part is only
   seen with the folder's path. */
static const char* absolute_at(int dirfd, const char* path, char* out, size_t size) {
  if (path[0] == '/') return path;
  if (dirfd == AT_FDCWD || path[0] == '\0') return NULL;
  char link[64];
  snprintf(link, sizeof(link), "/proc/self/fd/%d", dirfd);
  const long length = syscall(SYS_readlinkat, AT_FDCWD, link, out, size - 1);
  if (length <= 0 || (size_t)length >= size - 1) return NULL;
  out[length] = '\0';
  if (strncmp(out, "/sys", 4) != 0 || (out[4] != '/' && out[4] != '\0')) return NULL;
  if ((size_t)length + 1 + strlen(path) + 1 > size) return NULL;
  strcat(out, "/");
  strcat(out, path);
  return out;
}

/* Rewrites `path` (relative to `dirfd`) when it is one of the fixture's
   sysfs paths; says in kind_ whether it is one, or a node. */
#define MAP_PATH_AT(dirfd, path)                                                 \
  char mapped_[PATH_MAX];                                                        \
  unsigned node_ = 0;                                                            \
  enum vjoy_path_kind kind_ = VJOY_PATH_OTHER;                                   \
  if (vjoy_active() && (path)) {                                                 \
    char joined_[PATH_MAX];                                                      \
    const char* whole_ = absolute_at((dirfd), (path), joined_, sizeof(joined_)); \
    if (whole_) kind_ = vjoy_classify(whole_, mapped_, sizeof(mapped_), &node_); \
  }                                                                              \
  if (kind_ == VJOY_PATH_SYSFS) (path) = mapped_

#define MAP_PATH(path) MAP_PATH_AT(AT_FDCWD, path)

static int mode_wanted(int flags) { return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE; }

static int open_common(const char* name, int dirfd, const char* path, int flags, mode_t mode) {
  MAP_PATH_AT(dirfd, path);
  if (kind_ == VJOY_PATH_NODE) return vjoy_open_node(node_, path, flags);
  typedef int (*openat_fn)(int, const char*, int, ...);
  static openat_fn real_openat;
  if (!real_openat) real_openat = (openat_fn)dlsym(RTLD_NEXT, "openat");
  (void)name;
  return real_openat(dirfd, path, flags, mode);
}

int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (mode_wanted(flags)) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  return open_common("open", AT_FDCWD, path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (mode_wanted(flags)) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  return open_common("open64", AT_FDCWD, path, flags, mode);
}

int __open_2(const char* path, int flags) {
  return open_common("__open_2", AT_FDCWD, path, flags, 0);
}
int __open64_2(const char* path, int flags) {
  return open_common("__open64_2", AT_FDCWD, path, flags, 0);
}

int openat(int dirfd, const char* path, int flags, ...) {
  mode_t mode = 0;
  if (mode_wanted(flags)) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  return open_common("openat", dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
  mode_t mode = 0;
  if (mode_wanted(flags)) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  return open_common("openat64", dirfd, path, flags, mode);
}

int __openat_2(int dirfd, const char* path, int flags) {
  return open_common("__openat_2", dirfd, path, flags, 0);
}
int __openat64_2(int dirfd, const char* path, int flags) {
  return open_common("__openat64_2", dirfd, path, flags, 0);
}

static FILE* fopen_common(const char* path, const char* mode, int large) {
  MAP_PATH(path);
  if (kind_ == VJOY_PATH_NODE) {
    int flags = O_RDWR;
    if (mode[0] == 'r' && !strchr(mode, '+')) flags = O_RDONLY;
    if (mode[0] != 'r' && !strchr(mode, '+')) flags = O_WRONLY;
    if (strchr(mode, 'e')) flags |= O_CLOEXEC;
    const int fd = vjoy_open_node(node_, path, flags);
    return fd < 0 ? NULL : fdopen(fd, mode);
  }
  typedef FILE* (*fopen_fn)(const char*, const char*);
  static fopen_fn real_fopen, real_fopen64;
  if (!real_fopen) real_fopen = (fopen_fn)dlsym(RTLD_NEXT, "fopen");
  if (!real_fopen64) real_fopen64 = (fopen_fn)dlsym(RTLD_NEXT, "fopen64");
  return (large ? real_fopen64 : real_fopen)(path, mode);
}

FILE* fopen(const char* path, const char* mode) { return fopen_common(path, mode, 0); }
FILE* fopen64(const char* path, const char* mode) { return fopen_common(path, mode, 1); }

/* A listing of /dev shows the present nodes after the real entries: Wine's
   HID bus looks for hidraw nodes by listing /dev. */
#define MAX_LISTINGS 16
static struct listing {
  DIR* dir;
  unsigned nodes[256];
  int count;
  int next;
  struct dirent64 entry;
} listings[MAX_LISTINGS];

DIR* opendir(const char* path) {
  MAP_PATH(path);
  REAL(opendir, DIR * (*)(const char*));
  DIR* dir = real_opendir(path);
  if (dir && vjoy_active() && (strcmp(path, "/dev") == 0 || strcmp(path, "/dev/") == 0)) {
    for (int i = 0; i < MAX_LISTINGS; ++i) {
      DIR* none = NULL;
      if (__atomic_compare_exchange_n(&listings[i].dir, &none, dir, 0, __ATOMIC_ACQ_REL,
                                      __ATOMIC_ACQUIRE)) {
        listings[i].count = vjoy_present_nodes(listings[i].nodes, 256);
        listings[i].next = 0;
        break;
      }
    }
  }
  return dir;
}

static struct listing* listing_of(DIR* dir) {
  for (int i = 0; dir && i < MAX_LISTINGS; ++i) {
    if (__atomic_load_n(&listings[i].dir, __ATOMIC_ACQUIRE) == dir) return &listings[i];
  }
  return NULL;
}

/* The next made-up entry of a /dev listing, or NULL at its end. */
static struct dirent64* next_node_entry(DIR* dir) {
  struct listing* listing = listing_of(dir);
  if (!listing || listing->next >= listing->count) return NULL;
  struct dirent64* entry = &listing->entry;
  memset(entry, 0, sizeof(*entry));
  const unsigned node = listing->nodes[listing->next++];
  entry->d_ino = 100000 + node;
  entry->d_type = DT_CHR;
  entry->d_reclen = sizeof(*entry);
  snprintf(entry->d_name, sizeof(entry->d_name), "hidraw%u", node);
  return entry;
}

/* On 64-bit Linux struct dirent and struct dirent64 are the same record. */
struct dirent* readdir(DIR* dir) {
  REAL(readdir, struct dirent * (*)(DIR*));
  struct dirent* entry = real_readdir(dir);
  return entry ? entry : (struct dirent*)next_node_entry(dir);
}

struct dirent64* readdir64(DIR* dir) {
  REAL(readdir64, struct dirent64 * (*)(DIR*));
  struct dirent64* entry = real_readdir64(dir);
  return entry ? entry : next_node_entry(dir);
}

/* A watch on /dev sees the fixture's nodes come and go (an unplug is an
   IN_DELETE of hidrawN), as it would on devtmpfs. */
int inotify_add_watch(int fd, const char* path, uint32_t mask) {
  REAL(inotify_add_watch, int (*)(int, const char*, uint32_t));
  char mirror[PATH_MAX];
  if (path && vjoy_active() && (strcmp(path, "/dev") == 0 || strcmp(path, "/dev/") == 0) &&
      vjoy_dev_mirror(mirror, sizeof(mirror)) == 0) {
    return real_inotify_add_watch(fd, mirror, mask);
  }
  return real_inotify_add_watch(fd, path, mask);
}

int closedir(DIR* dir) {
  struct listing* listing = listing_of(dir);
  if (listing) __atomic_store_n(&listing->dir, NULL, __ATOMIC_RELEASE);
  REAL(closedir, int (*)(DIR*));
  return real_closedir(dir);
}

/* --- stat family ------------------------------------------------------ */

int stat(const char* path, struct stat* out) {
  MAP_PATH(path);
  if (kind_ == VJOY_PATH_NODE) return vjoy_node_stat(node_, out);
  REAL(stat, int (*)(const char*, struct stat*));
  return real_stat(path, out);
}

int lstat(const char* path, struct stat* out) {
  MAP_PATH(path);
  if (kind_ == VJOY_PATH_NODE) return vjoy_node_stat(node_, out);
  REAL(lstat, int (*)(const char*, struct stat*));
  return real_lstat(path, out);
}

/* On 64-bit Linux struct stat64 and struct stat are the same record. */
int stat64(const char* path, struct stat64* out) { return stat(path, (struct stat*)out); }
int lstat64(const char* path, struct stat64* out) { return lstat(path, (struct stat*)out); }

int fstat(int fd, struct stat* out) {
  if (vjoy_is_node_fd(fd)) return vjoy_fd_stat(fd, out);
  REAL(fstat, int (*)(int, struct stat*));
  return real_fstat(fd, out);
}
int fstat64(int fd, struct stat64* out) { return fstat(fd, (struct stat*)out); }

int fstatat(int dirfd, const char* path, struct stat* out, int flags) {
  if ((flags & AT_EMPTY_PATH) && path && path[0] == '\0' && vjoy_is_node_fd(dirfd)) {
    return vjoy_fd_stat(dirfd, out);
  }
  MAP_PATH_AT(dirfd, path);
  if (kind_ == VJOY_PATH_NODE) return vjoy_node_stat(node_, out);
  REAL(fstatat, int (*)(int, const char*, struct stat*, int));
  return real_fstatat(dirfd, path, out, flags);
}
int fstatat64(int dirfd, const char* path, struct stat64* out, int flags) {
  return fstatat(dirfd, path, (struct stat*)out, flags);
}

/* The versioned entry points of programs built against glibc before 2.33. */
int __xstat(int version, const char* path, struct stat* out) {
  (void)version;
  return stat(path, out);
}
int __lxstat(int version, const char* path, struct stat* out) {
  (void)version;
  return lstat(path, out);
}
int __fxstat(int version, int fd, struct stat* out) {
  (void)version;
  return fstat(fd, out);
}
int __fxstatat(int version, int dirfd, const char* path, struct stat* out, int flags) {
  (void)version;
  return fstatat(dirfd, path, out, flags);
}
int __xstat64(int version, const char* path, struct stat64* out) {
  (void)version;
  return stat(path, (struct stat*)out);
}
int __lxstat64(int version, const char* path, struct stat64* out) {
  (void)version;
  return lstat(path, (struct stat*)out);
}
int __fxstat64(int version, int fd, struct stat64* out) {
  (void)version;
  return fstat(fd, (struct stat*)out);
}
int __fxstatat64(int version, int dirfd, const char* path, struct stat64* out, int flags) {
  (void)version;
  return fstatat(dirfd, path, (struct stat*)out, flags);
}

int statx(int dirfd, const char* path, int flags, unsigned mask, struct statx* out) {
  if ((flags & AT_EMPTY_PATH) && path && path[0] == '\0' && vjoy_is_node_fd(dirfd)) {
    return vjoy_fd_statx(dirfd, out);
  }
  MAP_PATH_AT(dirfd, path);
  if (kind_ == VJOY_PATH_NODE) return vjoy_node_statx(node_, out);
  REAL(statx, int (*)(int, const char*, int, unsigned, struct statx*));
  return real_statx(dirfd, path, flags, mask, out);
}

int access(const char* path, int mode) {
  MAP_PATH(path);
  if (kind_ == VJOY_PATH_NODE) return vjoy_node_access(node_, mode);
  REAL(access, int (*)(const char*, int));
  return real_access(path, mode);
}

int faccessat(int dirfd, const char* path, int mode, int flags) {
  MAP_PATH_AT(dirfd, path);
  if (kind_ == VJOY_PATH_NODE) return vjoy_node_access(node_, mode);
  REAL(faccessat, int (*)(int, const char*, int, int));
  return real_faccessat(dirfd, path, mode, flags);
}

ssize_t readlink(const char* path, char* out, size_t size) {
  MAP_PATH(path);
  REAL(readlink, ssize_t(*)(const char*, char*, size_t));
  return real_readlink(path, out, size);
}

ssize_t readlinkat(int dirfd, const char* path, char* out, size_t size) {
  MAP_PATH_AT(dirfd, path);
  REAL(readlinkat, ssize_t(*)(int, const char*, char*, size_t));
  return real_readlinkat(dirfd, path, out, size);
}

char* realpath(const char* path, char* out) {
  MAP_PATH(path);
  if (kind_ == VJOY_PATH_NODE) {
    char* copy = out ? strcpy(out, path) : strdup(path);
    return copy;
  }
  REAL(realpath, char* (*)(const char*, char*));
  char* result = real_realpath(path, out);
  if (result && kind_ == VJOY_PATH_SYSFS) vjoy_unmap(result);
  return result;
}

char* canonicalize_file_name(const char* path) { return realpath(path, NULL); }

/* libudev makes sure a device folder lies on sysfs before it trusts it. */
static int in_tree(int fd) {
  char link[64];
  char path[PATH_MAX];
  snprintf(link, sizeof(link), "/proc/self/fd/%d", fd);
  const long length = syscall(SYS_readlinkat, AT_FDCWD, link, path, sizeof(path) - 1);
  if (length <= 0) return 0;
  path[length] = '\0';
  return vjoy_in_tree(path);
}

int fstatfs(int fd, struct statfs* out) {
  REAL(fstatfs, int (*)(int, struct statfs*));
  const int result = real_fstatfs(fd, out);
  if (result == 0 && vjoy_active() && in_tree(fd)) out->f_type = SYSFS_MAGIC;
  return result;
}
int fstatfs64(int fd, struct statfs64* out) { return fstatfs(fd, (struct statfs*)out); }

int statfs(const char* path, struct statfs* out) {
  MAP_PATH(path);
  REAL(statfs, int (*)(const char*, struct statfs*));
  const int result = real_statfs(path, out);
  if (result == 0 && kind_ == VJOY_PATH_SYSFS) out->f_type = SYSFS_MAGIC;
  return result;
}
int statfs64(const char* path, struct statfs64* out) { return statfs(path, (struct statfs*)out); }

/* --- descriptors of /dev/hidrawN --------------------------------------- */

ssize_t read(int fd, void* buffer, size_t count) {
  if (vjoy_is_node_fd(fd)) return vjoy_read(fd, buffer, count);
  REAL(read, ssize_t(*)(int, void*, size_t));
  return real_read(fd, buffer, count);
}

ssize_t __read_chk(int fd, void* buffer, size_t count, size_t buffer_size) {
  if (count > buffer_size) abort();
  return read(fd, buffer, count);
}

ssize_t write(int fd, const void* buffer, size_t count) {
  if (vjoy_is_node_fd(fd)) return vjoy_write(fd, buffer, count);
  REAL(write, ssize_t(*)(int, const void*, size_t));
  return real_write(fd, buffer, count);
}

int close(int fd) {
  if (vjoy_is_node_fd(fd)) return vjoy_close(fd);
  REAL(close, int (*)(int));
  return real_close(fd);
}

int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);
  if (vjoy_is_node_fd(fd)) return vjoy_ioctl(fd, request, argument);
  REAL(ioctl, int (*)(int, unsigned long, ...));
  return real_ioctl(fd, request, argument);
}

int poll(struct pollfd* fds, nfds_t count, int timeout) {
  REAL(poll, int (*)(struct pollfd*, nfds_t, int));
  const int result = real_poll(fds, count, timeout);
  return vjoy_active() ? vjoy_fix_poll(fds, count, result) : result;
}

int __poll_chk(struct pollfd* fds, nfds_t count, int timeout, size_t fds_size) {
  if (fds_size / sizeof(*fds) < count) abort();
  return poll(fds, count, timeout);
}

int ppoll(struct pollfd* fds, nfds_t count, const struct timespec* timeout, const sigset_t* mask) {
  REAL(ppoll, int (*)(struct pollfd*, nfds_t, const struct timespec*, const sigset_t*));
  const int result = real_ppoll(fds, count, timeout, mask);
  return vjoy_active() ? vjoy_fix_poll(fds, count, result) : result;
}
