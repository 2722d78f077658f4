#include "app/publisher_policy.h"

#include "generated/publisher_key.h"

#ifndef ZUNOR_REQUIRE_SIGNATURE
#error "ZUNOR_REQUIRE_SIGNATURE (0 or 1) is set by the build"
#endif

namespace zunor {

const char* PublisherKeyPem() {
    return kPublisherKeyPem;
}

bool SignaturesRequired() {
    return ZUNOR_REQUIRE_SIGNATURE != 0;
}

} // namespace zunor
