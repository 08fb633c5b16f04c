// The tool's exit codes. Published: scripts rely on them, so a code never changes meaning.
#pragma once

#include "hllib/hllib.h"

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

inline ExitCode exitCodeFor(hl_status code) {
  switch (code) {
    case HL_OK:
      return kExitOk;
    case HL_OPEN_FAILED:
      return kExitNoPackage;
    case HL_NOT_A_PACKAGE:
      return kExitNotAPackage;
    case HL_UNSUPPORTED:
      return kExitUnsupported;
    case HL_DAMAGED:
      return kExitDamaged;
    case HL_ITEM_NOT_FOUND:
      return kExitItemNotFound;
    case HL_INCOMPLETE:
      return kExitIncomplete;
    case HL_ENCRYPTED:
      return kExitEncrypted;
    case HL_UNSAFE_NAME:
      return kExitUnsafeName;
    case HL_WRITE_FAILED:
      return kExitWriteFailed;
    case HL_INVALID:
      return kExitUsage;
    case HL_IN_USE:
      return kExitInUse;
    case HL_EXISTS:
      return kExitWriteFailed;
    case HL_REFUSED:
      return kExitRefused;
    case HL_NAME_CLASH:
      return kExitNameClash;
    case HL_UNEXPECTED:
    case HL_CANCELLED:  // the tool never cancels a call
      return kExitInternal;
  }
  return kExitInternal;
}

}  // namespace hlextract
