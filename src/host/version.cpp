#include "host/version.h"

namespace trivexa {

std::string_view ProgramVersion() { return TRIVEXA_VERSION; }

}  // namespace trivexa
