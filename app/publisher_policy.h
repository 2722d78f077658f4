#pragma once
// What the publisher's signature means to this build: the key it carries and whether every folder's
// SHA256SUMS must be signed by it. Defined in publisher_policy.cpp, which each installer executable
// compiles for itself, so that one tree can build the installer and its signature-requiring twin.
namespace zunor {

const char* PublisherKeyPem();
bool SignaturesRequired();

} // namespace zunor
