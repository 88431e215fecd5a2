// The registry's store file as text, for the store's own tests and its fuzz
// target.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The check sum that ends a store file ("end XXXXXXXX"): CRC-32 of every
// byte before that line.
std::uint32_t RegistryChecksum(std::string_view bytes);

// Reads a whole store file as the loader does and writes what it holds as
// the writer does. False (with the loader's reason) when the loader refuses
// the file.
bool RewriteRegistryStore(std::string_view file, std::string* rewritten, const char** reason);

} // namespace platform
