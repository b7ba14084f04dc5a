// The one error type of fvpack's image handling: the message names the input and the reason.
#pragma once

#include <stdexcept>

namespace fvpack {

class FlashError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

} // namespace fvpack
