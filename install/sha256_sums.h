#pragma once
// The SHA256SUMS file a server folder may publish, in the form sha256sum writes: 64 hex digits, a
// blank, a blank or "*" (binary mode), then the file name; one file a line.
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/transfer_options.h"

namespace zunor {

// A line that cannot vouch for a file. name is what the line seems to name (empty when nothing can
// be made out); that file must not be installed unchecked.
struct BadSumsLine {
    std::size_t lineNumber = 0; // from 1
    std::string name;

    bool operator==(const BadSumsLine&) const = default;
};

struct Sha256Sums {
    std::map<std::string, Sha256Digest> digests; // file name (bytes as written) -> digest
    std::vector<BadSumsLine> badLines;           // in file order
};

// Lines end at CR, LF or CR LF; blank lines are passed over. A name given twice with the same digest
// is one entry; given with two different digests it is a bad line, and no digest is kept for it.
Sha256Sums ParseSha256Sums(std::string_view text);

} // namespace zunor
