#include "settings/folder_owner_rights.h"

namespace trivexa::settings {

// An administrator's program has no other user's profile folder as its own:
// the settings are always read and written with the process's own rights.
FolderOwnerRights::FolderOwnerRights(const std::filesystem::path&) {}
FolderOwnerRights::~FolderOwnerRights() = default;

}  // namespace trivexa::settings
