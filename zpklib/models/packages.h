// Thermo packages: named model sets that setPK applies to a stream.
//
// A process-wide table of kPackages entries guarded by one mutex.  Entries
// 1..kPredefined are the library's predefined packages and cannot be
// changed; the rest are user packages ("User n", initially the Regular set)
// that putPKN/putPKM/putPKS change.
//
// A package holds a model per (property 1..4, phase 0..3), where 0 means
// "no model: leave the stream's setting", and two settings:
//   setting 1: option mask given to putKO when the package is applied
//   setting 2: loadSB level requested when applied (-1 = none)
#pragma once

#include <string>

#include "streams/store.h"

namespace zpk::models {

inline constexpr int kPackages = 32;
inline constexpr int kPackageSettings = 2;

int predefinedPackages();
std::string packageName(int package);
void setPackageName(int package, const std::string& name);
int packageModel(int package, int property, int phase);
void setPackageModel(int package, int property, int phase, int model);
int packageSetting(int package, int index);
void setPackageSetting(int package, int index, int value);
// Apply a package to a stream definition (caller holds the stream lock).
void applyPackage(int package, streams::Stream& s);

}  // namespace zpk::models
