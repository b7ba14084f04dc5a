// fvpack: firmware volumes for the board's flash.
//   fvpack MANIFEST.json -o OUT.fv     builds a volume from a manifest
//   fvpack list FLASH.fd               prints the tree of an existing flash image
//   fvpack insert FLASH.fd ... -o OUT  adds modules to an existing flash image
#include <cstring>

#include "tools/fvpack/commands.h"

int main(int argc, char **argv) {
  if (argc >= 2 && std::strcmp(argv[1], "list") == 0) {
    return fvpack::RunList(argc, argv);
  }
  if (argc >= 2 && std::strcmp(argv[1], "insert") == 0) {
    return fvpack::RunInsert(argc, argv);
  }
  return fvpack::RunManifest(argc, argv);
}
