#pragma once

#include <string>
#include <vector>

// bootsim check-images: placement, palette use and what a designer must know about boot-screen
// BMP files. `args` are the arguments after "check-images".
int RunCheckImagesCommand(const std::vector<std::string> &args);
