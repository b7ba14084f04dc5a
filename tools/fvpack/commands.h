// fvpack's subcommands; each returns the process exit code.
#pragma once

namespace fvpack {

inline constexpr int kExitBadInput = 2;
inline constexpr int kExitOutputFailed = 3;

int RunManifest(int argc, char **argv);
int RunList(int argc, char **argv);
int RunInsert(int argc, char **argv);

} // namespace fvpack
