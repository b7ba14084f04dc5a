// The board strap that asks for the BMC address line (GPIO pad 0x01060015).
#pragma once

// True when the strap pad's input reads low. The pad's configuration is restored afterwards.
bool ReadAddressStrap();
