#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "settings/file_io.h"

namespace trivexa::settings {

// While it lives, the thread that made it reads and writes files with the
// rights of the user a settings folder belongs to, when the process is root
// and that user is not (root with another user's HOME, as plain sudo leaves
// it): the kernel then refuses whatever the user could not do, links and
// swaps included, and what is made is the user's. The user is the owner of
// the first folder on the path, from the root down, that root does not own:
// whoever owns a folder can swap what lies below it. Elsewhere (a process
// that is not root, root's own folders, Windows) nothing changes. Where the
// rights cannot be taken but the kernel checks the program's own against
// that folder anyway (no capability that overrides its permissions, as in a
// user namespace where its owner is not mapped), the program's own serve.
class [[nodiscard]] FolderOwnerRights {
 public:
  explicit FolderOwnerRights(const std::filesystem::path& folder);
  ~FolderOwnerRights();
  FolderOwnerRights(const FolderOwnerRights&) = delete;
  FolderOwnerRights& operator=(const FolderOwnerRights&) = delete;

  // Failed when the thread could not take the user's rights and root's would
  // pass the folder's checks: then nothing may be read or written there.
  const WriteOutcome& outcome() const { return outcome_; }

  // Whom files are made for and checked against: a user, a group, groups.
  struct Identity {
    std::uint32_t user = 0;
    std::uint32_t group = 0;
    std::vector<std::uint32_t> groups;
  };

 private:
  // Which of the thread's ids this object changed, and so puts back.
  struct Changed {
    bool groups = false;
    bool group = false;
    bool user = false;
  };

  // Take() names the call that failed (nothing when all took effect);
  // PutBack() undoes what Take() changed and says whether that worked.
  const char* Take(const Identity& user);
  bool PutBack();

  Identity own_;
  Changed changed_;
  WriteOutcome outcome_;
};

#ifndef _WIN32
// The user this thread's files are made for and checked against.
std::uint32_t FilesystemUser();
#endif

}  // namespace trivexa::settings
