// Archives of stream definitions (AFSave/AFOpen) and the data folder.
//
// Text format, version 1 (one record per line, fields separated by single
// blanks; numbers written with 17 significant digits so they read back
// exactly; see docs/archive.md):
//
//   ZPK-ARCHIVE 1                    magic and format version
//   range N                          the archive covers streams 1..N
//   stream n                         one block per defined stream, ascending n
//   name text                        optional; bytes <= ' ', '%' and >= 0x7f as %XX
//   flow w                           mass flow, kg/s
//   options o                        putKO mask
//   setting k v                      putKS values that are nonzero
//   model property phase code        models that were set
//   comp position code cas z         component code, its CAS number (0 if none), fraction
//   bip n i j model p0 ... p9        binary interaction entry n
//   sbload level                     loadSB request (only when made)
//   tp T P                           last temperature (K) and pressure (Pa)
//   endstream
//   end count checksum               number of stream blocks, FNV-1a 64 of every
//                                    byte before this line (16 hex digits)
//
// Opening reads and checks the whole file first (syntax, ranges, component
// codes, model codes, every definition valid, count and checksum).  Only a
// valid file changes streams: each stream 1..N is replaced by its block or,
// without a block, cleared as by initS; streams above N are untouched.
// Components are matched by CAS number when the file gives one, so an
// archive survives a renumbered database.  Loaded streams are defined
// (as after setS) and have no valid operating point.
#pragma once

#include <string>

namespace zpk::archive {

inline constexpr int kFormatVersion = 1;

// Write every defined stream to path: to a temporary file in the same
// folder, then renamed over path.  Throws zpk::Error on failure.
void save(const std::string& path);
// Read path; replace streams only when the whole file is valid.  Throws
// zpk::Error (nothing changed) on a missing, corrupt or truncated file.
void open(const std::string& path);
// The library's data folder, ending with '/'.
const std::string& dataFolder();

}  // namespace zpk::archive
