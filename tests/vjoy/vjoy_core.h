/* The seam between the C wrappers of libc calls (preload_hooks.c) and the
   fixture itself (vjoy_core.cpp and the vjoy_*.cpp beside it). C, so the
   wrappers can be plain C definitions of the libc names. */
#ifndef VJOY_CORE_H
#define VJOY_CORE_H

#include <poll.h>
#include <stddef.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

struct statx;

enum vjoy_path_kind {
  VJOY_PATH_OTHER = 0, /* not the fixture's: pass through */
  VJOY_PATH_SYSFS = 1, /* a sysfs path of the fixture: use the rewritten path */
  VJOY_PATH_NODE = 2   /* /dev/hidrawN: the fixture answers itself */
};

/* Nonzero once a scenario is loaded. Without VJOY_SCENARIO every call
   passes through untouched. */
int vjoy_active(void);

/* Sorts an absolute path. For VJOY_PATH_SYSFS the path inside the fixture's
   tree is written to `out` (and the tree is made on first use); for
   VJOY_PATH_NODE the node number goes to `node`. */
enum vjoy_path_kind vjoy_classify(const char* path, char* out, size_t out_size, unsigned* node);

/* Nonzero for a path inside the fixture's sysfs tree. */
int vjoy_in_tree(const char* path);

/* Maps a path inside the fixture's tree back to the /sys path it stands for,
   in place. */
void vjoy_unmap(char* path);

int vjoy_is_node_fd(int fd);

/* Writes the folder that mirrors the present nodes as empty files hidrawN,
   which a watch on /dev is moved to. -1 when it does not fit. */
int vjoy_dev_mirror(char* out, size_t out_size);

/* The numbers of the nodes present now, at most `max`; gives the count. */
int vjoy_present_nodes(unsigned* out, int max);

/* What the kernel does for an open, stat or access of /dev/hidrawN. Each
   returns -1 with errno set on failure. */
int vjoy_open_node(unsigned node, const char* path, int flags);
int vjoy_node_stat(unsigned node, struct stat* out);
int vjoy_node_statx(unsigned node, struct statx* out);
int vjoy_node_access(unsigned node, int mode);

/* Calls on descriptors of /dev/hidrawN nodes. */
int vjoy_fd_stat(int fd, struct stat* out);
int vjoy_fd_statx(int fd, struct statx* out);
ssize_t vjoy_read(int fd, void* buffer, size_t count);
ssize_t vjoy_write(int fd, const void* buffer, size_t count);
int vjoy_ioctl(int fd, unsigned long request, void* argument);
int vjoy_close(int fd);
/* Corrects what poll said about node descriptors as hidraw's poll would
   say it; gives the new count of ready descriptors. */
int vjoy_fix_poll(struct pollfd* fds, nfds_t count, int result);

#ifdef __cplusplus
}
#endif

#endif
