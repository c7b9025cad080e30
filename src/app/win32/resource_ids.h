#pragma once

// Shared by the resource script and the C++ code: plain macros only, which
// the resource compiler understands too.
#define kIdiTrivexa 1
