// The tool's exit codes. Published: scripts rely on them, so a code never changes meaning.
#pragma once

#include "status.h"

namespace hlextract {

enum ExitCode : int {
  kExitOk = 0,                // everything asked for was done
  kExitInternal = 1,          // an unexpected fault inside the tool
  kExitUsage = 2,             // the command line is wrong
  kExitNoPackage = 3,         // the package file cannot be opened or read
  kExitNotAPackage = 4,       // the file is not a GCF or NCF package
  kExitUnsupported = 5,       // a package format version the tool cannot read
  kExitDamaged = 6,           // the package, or an item's data or checksums, is damaged
  kExitItemNotFound = 7,      // no item with the given path
  kExitIncomplete = 8,        // an item has fewer bytes stored than its size
  kExitEncrypted = 9,         // an item is encrypted
  kExitWriteFailed = 10,      // writing an output file or folder failed
  kExitUnsafeName = 11,       // an item name that would leave the destination folder
  kExitNotSupportedYet = 12,  // an operation this version does not offer
  kExitInUse = 13,            // another run or program holds the package
  kExitRefused = 14,          // the package is not rewritten: the message says why
  kExitUnlistable = 15,       // an item name that a list line cannot hold (CR or LF in it)
  kExitNameClash = 16,        // an item whose name an earlier item of its folder already took
  kExitNotChecked = 17,       // -t met files whose package stores no checksums, and no worse
  kExitJobsStopped = 21,      // --jobs: the results were no longer read, the run stopped
  kExitBadJobFile = 22,       // --jobs: the job file cannot be read or is malformed
};

inline ExitCode exitCodeFor(hl::ErrorCode code) {
  switch (code) {
    case hl::ErrorCode::Ok:
      return kExitOk;
    case hl::ErrorCode::OpenFailed:
      return kExitNoPackage;
    case hl::ErrorCode::NotAPackage:
      return kExitNotAPackage;
    case hl::ErrorCode::Unsupported:
      return kExitUnsupported;
    case hl::ErrorCode::Damaged:
      return kExitDamaged;
    case hl::ErrorCode::ItemNotFound:
      return kExitItemNotFound;
    case hl::ErrorCode::Incomplete:
      return kExitIncomplete;
    case hl::ErrorCode::Encrypted:
      return kExitEncrypted;
    case hl::ErrorCode::UnsafeName:
      return kExitUnsafeName;
    case hl::ErrorCode::WriteFailed:
      return kExitWriteFailed;
    case hl::ErrorCode::Invalid:
      return kExitUsage;
    case hl::ErrorCode::InUse:
      return kExitInUse;
    case hl::ErrorCode::Exists:
      return kExitWriteFailed;
    case hl::ErrorCode::Refused:
      return kExitRefused;
    case hl::ErrorCode::NameClash:
      return kExitNameClash;
    case hl::ErrorCode::Unexpected:
      return kExitInternal;
  }
  return kExitInternal;
}

}  // namespace hlextract
