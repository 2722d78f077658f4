#pragma once
// "Pokreni program posle instalacije" and /LAUNCH: the product's program that this run placed, started
// by the desktop shell with the user's own rights, and only while its file is still the one placed.
#include <optional>
#include <string>

#include "common/run_ports.h"

namespace zunor {

// Empty when the product started; otherwise the message that tells the user why not (the file's path on
// its second line). The log gets a "launch" line either way. path: where the product is expected.
std::wstring StartPlacedProduct(const std::optional<ProductFile>& product, const std::wstring& path,
                                RunLog& log);

} // namespace zunor
