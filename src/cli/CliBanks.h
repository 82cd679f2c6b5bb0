#pragma once

#include "files/SampleImport.h"

#include <filesystem>
#include <string>
#include <vector>

class DvVaneto;

// What the commands do to the bank image, each through the editor's own code, with a message
// for the user when it fails.
namespace CliBanks {

// Loads every bank track of a bank file into the bank it names (as Open from Disk does).
// Loads the banks a bank file holds. A file without banks is an error; a damaged file loads the
// banks read whole before the damage, and warning names it.
bool loadBankFile(const std::filesystem::path& path, DvVaneto& store, std::vector<int>& banks,
                  std::string& error, std::string& warning);
// Imports an audio file into a bank as the editor's "Open..." does.
bool importAudio(const std::filesystem::path& path, DvVaneto& store, int bank, std::string& error,
                 std::string* source = nullptr, const SampleImport::Options& part = {});

// The banks to send or play: a bank file over the factory banks (which must hold `bank` when
// one is given, 0 ... 6), or an audio file imported into `bank` of the factory banks.
enum class SourceResult { ok, failed, audioNeedsBank };
SourceResult loadSource(const std::filesystem::path& path, DvVaneto& store, int bank,
                        std::string& error);

} // namespace CliBanks
