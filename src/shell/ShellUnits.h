#pragma once
// Registers the shell library's unit with the program's unit start-up, after the common library's
// units whose item ID list tests it uses.

namespace shell {

constexpr int ShellUtilitiesUnitOrder = 240;
void RegisterShellUnits();

}  // namespace shell
