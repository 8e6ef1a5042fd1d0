#pragma once
// The names of the network provider types of the platform's networking interface. Nothing in this
// program reads the table; the unit's finalisation releases it.

#include <vector>

#include "platform/rtl/Types.h"

namespace shell {

const std::vector<pf::String>& NetworkProviderNames();
void InitializeShellTypes();
void FinalizeShellTypes();

}  // namespace shell
