#include <grp.h>
#include <linux/securebits.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <system_error>

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

// The owner of the first folder on `folder`'s path that root does not own.
std::optional<uid_t> ForeignOwner(const fs::path& folder) {
  std::error_code error;
  const fs::path whole = fs::absolute(folder, error);
  fs::path prefix = whole.root_path();
  for (const fs::path& name : whole.relative_path()) {
    struct stat info {};
    if (error || ::stat((prefix /= name).c_str(), &info) != 0) break;
    if (info.st_uid != 0) return info.st_uid;
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

// Groups first and the user last, so the thread is never the user with
// root's groups; and back in the reverse order. Leaving root's id drops
// root's file capabilities unless a security bit keeps them, which would
// leave the user's rights unchecked.
bool Take(const Identity& user) {
  if (::syscall(kSetGroups, user.groups.size(), user.groups.data()) != 0) return false;
  FsGid(user.group);
  FsUid(user.user);
  return FsGid(kRead) == user.group && FsUid(kRead) == user.user &&
         (::prctl(PR_GET_SECUREBITS) & SECBIT_NO_SETUID_FIXUP) == 0;
}

bool PutBack(const Identity& own) {
  FsUid(own.user);
  FsGid(own.group);
  return ::syscall(kSetGroups, own.groups.size(), own.groups.data()) == 0 &&
         FsUid(kRead) == own.user && FsGid(kRead) == own.group;
}

}  // namespace

std::uint32_t FilesystemUser() { return FsUid(kRead); }

FolderOwnerRights::FolderOwnerRights(const fs::path& folder) {
  const std::optional<uid_t> owner =
      folder.empty() || ::geteuid() != 0 ? std::nullopt : ForeignOwner(folder);
  if (!owner) return;
  const std::optional<Identity> user = AccountOf(*owner);
  if (user) own_ = ThreadIdentity();
  if (!user || !Take(*user)) {
    outcome_ = WriteOutcome::Failed(user ? "setfsuid" : "getpwuid",
                                    "the folder belongs to user " + std::to_string(*owner) +
                                        ", whose rights the program cannot take");
  }
}

FolderOwnerRights::~FolderOwnerRights() {
  // A thread left with another user's rights would go on with them
  // unnoticed; it cannot happen, as putting back needs no more than taking.
  if (own_ && !PutBack(*own_)) std::abort();
}

}  // namespace trivexa::settings
