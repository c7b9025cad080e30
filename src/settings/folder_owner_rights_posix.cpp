#include <grp.h>
#include <linux/capability.h>
#include <linux/securebits.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

#include "host/text.h"
#include "settings/folder_owner_rights.h"

namespace trivexa::settings {
namespace {

namespace fs = std::filesystem;
using Identity = FolderOwnerRights::Identity;

// The kernel keeps these ids per thread, and so do the raw calls; glibc's
// setgroups changes every thread. The 32-bit ids' calls where there are two.
#ifdef SYS_setfsuid32
constexpr long kSetFsUid = SYS_setfsuid32, kSetFsGid = SYS_setfsgid32, kSetGroups = SYS_setgroups32;
#else
constexpr long kSetFsUid = SYS_setfsuid, kSetFsGid = SYS_setfsgid, kSetGroups = SYS_setgroups;
#endif

// setfsuid and setfsgid never fail aloud: they return the id in force
// before, so only a second call shows whether the first took effect. An
// invalid id (-1) changes nothing.
constexpr std::uint32_t kRead = static_cast<std::uint32_t>(-1);
std::uint32_t FsUid(std::uint32_t uid) {
  return static_cast<std::uint32_t>(::syscall(kSetFsUid, uid));
}
std::uint32_t FsGid(std::uint32_t gid) {
  return static_cast<std::uint32_t>(::syscall(kSetFsGid, gid));
}
bool SetGroups(const std::vector<std::uint32_t>& groups) {
  return ::syscall(kSetGroups, groups.size(), groups.data()) == 0;
}

struct FolderOwner {
  uid_t user;
  gid_t group;
};

// The owner of the first name on `folder`'s path that root does not own. A
// link is judged by its own owner, who can point it elsewhere at will; a
// folder still to be made will be made by whoever makes it in the one
// above, so the walk ends there.
std::optional<FolderOwner> ForeignOwner(const fs::path& folder) {
  std::error_code error;
  const fs::path whole = fs::absolute(folder, error);
  fs::path prefix = whole.root_path();
  for (const fs::path& name : whole.relative_path()) {
    struct stat info {};
    if (error || ::lstat((prefix /= name).c_str(), &info) != 0) break;
    if (info.st_uid != 0) return FolderOwner{info.st_uid, info.st_gid};
  }
  return std::nullopt;
}

// The user's account: primary group and every group, as at a login.
std::optional<Identity> AccountOf(uid_t uid) {
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buffer(4096);
  while (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == ERANGE) {
    buffer.resize(buffer.size() * 2);
  }
  if (found == nullptr) return std::nullopt;
  Identity user{uid, entry.pw_gid, std::vector<std::uint32_t>(32)};
  int count = static_cast<int>(user.groups.size());
  while (::getgrouplist(entry.pw_name, entry.pw_gid, user.groups.data(), &count) < 0) {
    user.groups.resize(static_cast<std::size_t>(count));
  }
  user.groups.resize(static_cast<std::size_t>(count));
  return user;
}

Identity ThreadIdentity() {
  Identity own{FsUid(kRead), FsGid(kRead), {}};
  own.groups.resize(static_cast<std::size_t>(std::max(0, ::getgroups(0, nullptr))));
  const int count = ::getgroups(static_cast<int>(own.groups.size()), own.groups.data());
  own.groups.resize(static_cast<std::size_t>(std::max(0, count)));
  return own;
}

// Whether `id` stands for an id of this user namespace: the kernel shows an
// id it cannot map as the overflow id, which no map holds. A map that
// cannot be read counts as holding it, so that root's rights are assumed.
bool Mapped(const char* mapFile, std::uint32_t id) {
  std::ifstream map(mapFile);
  if (!map) return true;
  std::uint64_t inside = 0, outside = 0, count = 0;
  while (map >> inside >> outside >> count) {
    if (id >= inside && id - inside < count) return true;
  }
  return false;
}

// Whether the kernel checks the folder's permissions against the program's
// own rights: no capability that passes them is in force, or none applies
// to the folder because its owner is no id of this user namespace.
bool KernelGuards(const FolderOwner& owner) {
  if (!Mapped("/proc/self/uid_map", owner.user) || !Mapped("/proc/self/gid_map", owner.group)) {
    return true;
  }
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (::syscall(SYS_capget, &header, data) != 0) return false;
  constexpr std::uint32_t kOverriding =
      (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
  return (data[0].effective & kOverriding) == 0;
}

}  // namespace

std::uint32_t FilesystemUser() { return FsUid(kRead); }

// Groups first and the user last, so the thread is never the user with
// root's groups; and back in the reverse order. Leaving root's id drops
// root's file capabilities unless a security bit keeps them, which would
// leave the user's rights unchecked.
const char* FolderOwnerRights::Take(const Identity& user) {
  if (!SetGroups(user.groups)) return "setgroups";
  changed_.groups = true;
  FsGid(user.group);
  changed_.group = FsGid(kRead) == user.group;
  if (!changed_.group) return "setfsgid";
  FsUid(user.user);
  changed_.user = FsUid(kRead) == user.user;
  if (!changed_.user) return "setfsuid";
  if ((::prctl(PR_GET_SECUREBITS) & SECBIT_NO_SETUID_FIXUP) != 0) return "setfsuid";
  return nullptr;
}

bool FolderOwnerRights::PutBack() {
  if (changed_.user) FsUid(own_.user);
  if (changed_.group) FsGid(own_.group);
  const bool back = (!changed_.groups || SetGroups(own_.groups)) &&
                    (!changed_.user || FsUid(kRead) == own_.user) &&
                    (!changed_.group || FsGid(kRead) == own_.group);
  changed_ = {};
  return back;
}

FolderOwnerRights::FolderOwnerRights(const fs::path& folder) {
  if (folder.empty() || ::geteuid() != 0) return;
  const std::optional<FolderOwner> owner = ForeignOwner(folder);
  if (!owner) return;
  const std::optional<Identity> user = AccountOf(owner->user);
  own_ = ThreadIdentity();
  errno = 0;  // only setgroups says why; the others fail without a word
  const char* failed = user ? Take(*user) : "getpwuid";
  if (failed == nullptr) return;
  const int error = user ? errno : 0;
  // Steps that took effect are undone at once, not left for the destructor.
  if (!PutBack()) std::abort();
  if (KernelGuards(*owner)) return;
  std::string reason = "the folder belongs to user " + std::to_string(owner->user) +
                       ", whose rights the program cannot take";
  if (error != 0) reason += " (" + ErrnoText(error) + ")";
  outcome_ = WriteOutcome::Failed(failed, std::move(reason));
}

FolderOwnerRights::~FolderOwnerRights() {
  // A thread left with another user's rights would go on with them
  // unnoticed; it cannot happen, as putting back needs no more than taking.
  if (!PutBack()) std::abort();
}

}  // namespace trivexa::settings
