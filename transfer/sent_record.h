// What the last uploads sent into one remote directory, kept in the settings
// store per provider, so that a later upload can tell a file it sent from
// one that changed since: on either side.
#pragma once

#include "platform/registry/registry.h"

#include <cstdint>
#include <map>
#include <string>

namespace transfer {

struct SentFile {
    std::uint64_t localSize = 0;
    std::int64_t localTime = 0;   // the local file's modification time then (seconds since 1970)
    std::uint64_t sentSize = 0;   // its size on the server once sent (text mode and conversion change it)
    std::int64_t remoteTime = 0;  // its time on the server then, to the second; 0 when not known so exactly
};

// File name -> what was sent.
using SentRecord = std::map<std::string, SentFile>;

// The record of `directory` (the server's path) for `provider`; empty when
// there is none, or it cannot be read (then every file there is sent).
SentRecord LoadSentRecord(const std::string& provider, const std::string& directory);

// Replaces that record in one store transaction. Returns the store's status.
winreg::LONG SaveSentRecord(const std::string& provider, const std::string& directory, const SentRecord& record);

}  // namespace transfer
