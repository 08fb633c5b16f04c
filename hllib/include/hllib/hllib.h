/* The package library's C interface: open a GCF or NCF package, walk and find its items, read,
 * extract and validate files, write the list file and defragment. Plain C99, callable from any
 * language that can call a C function.
 *
 * Conventions:
 * - Every function that can fail returns an hl_status; HL_OK is 0. A null handle or pointer
 *   gives HL_INVALID, never a crash. Output parameters are written only on HL_OK, except the
 *   reports of hl_validate, hl_extract and hl_extract_into, which are filled in either way.
 * - hl_last_message() names what the last call on the calling thread did wrong ("" after
 *   HL_OK). Text handed out (messages, names, paths) stays valid until the next call of this
 *   library on the same thread; copy it to keep it. Text given to a callback is valid while
 *   the callback runs. Messages are for people: an item name inside one is spelled as the
 *   package stores it.
 * - Paths of the file system are UTF-8. Item names are stored by packages in the single-byte
 *   Windows-1252 code page and handed out (names, paths) converted to UTF-8; item paths given to
 * the library are UTF-8 too, and one holding a character that code page cannot spell names no item.
 * - Callbacks receive the `user` pointer given with them. They must not unwind through the
 *   library (longjmp); a C++ exception that reaches it ends the call with HL_UNEXPECTED.
 * - A walk visitor, an extraction observer and a progress callback return 0 to go on; any other
 *   value stops the call there with HL_CANCELLED. Nothing is left half done: a file being
 *   extracted is not written at all, a package being defragmented stays as it was.
 * - A package handle may be used by one thread at a time.
 * - Compatibility: within a major version (HLLIB_VERSION_MAJOR, the 1 of libhllib.so.1 and of
 *   the symbol version HLLIB_1) nothing here is removed or changed: no function, status value,
 *   callback type or struct. The structs are frozen as they stand, since callers allocate them:
 *   a new fact comes with a new struct and the new functions that fill it, never as a field
 *   added to one of these. New functions and new status values may come in a minor version;
 *   callers treat a status they do not know as a failure. */
#ifndef HLLIB_HLLIB_H
#define HLLIB_HLLIB_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "hllib/export.h"
#include "hllib/version.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum hl_status {
  HL_OK = 0,
  HL_OPEN_FAILED = 1,    /* the file could not be opened or read */
  HL_NOT_A_PACKAGE = 2,  /* the bytes are not a GCF or NCF package at all */
  HL_UNSUPPORTED = 3,    /* a package of a format version this library cannot read */
  HL_DAMAGED = 4,        /* a package whose structure contradicts itself or its file */
  HL_ITEM_NOT_FOUND = 5, /* no item with the requested path */
  HL_INCOMPLETE = 6,     /* fewer bytes stored than the item's size */
  HL_ENCRYPTED = 7,      /* content that needs a key this library does not have */
  HL_UNSAFE_NAME = 8,    /* an item name that could escape the destination folder */
  HL_WRITE_FAILED = 9,   /* writing output failed (disk full, no permission...) */
  HL_INVALID = 10,       /* a request that makes no sense (a null handle, a folder for a file) */
  HL_IN_USE = 11,        /* another run or program holds the package */
  HL_REFUSED = 12,       /* a package this library will not rewrite */
  HL_EXISTS = 13,        /* the target already exists and was asked to be kept */
  HL_NAME_CLASH = 14,    /* an item whose name an earlier item of its folder already took */
  HL_UNEXPECTED = 15,    /* an internal fault, a failing callback, or no memory left */
  HL_CANCELLED = 16      /* a callback returned nonzero to stop the call */
} hl_status;

typedef enum hl_package_type { HL_GCF = 0, HL_NCF = 1 } hl_package_type;

#define HL_NO_ITEM 0xFFFFFFFFu /* what parent gives for the root */
#define HL_ROOT_ITEM 0u        /* the root folder, whose name is empty */

typedef struct hl_package hl_package;
typedef struct hl_destination hl_destination; /* a folder that extractions write into */

typedef struct hl_package_facts {
  int32_t type; /* an hl_package_type */
  uint32_t format_version;
  uint32_t block_size;  /* 0 for an NCF */
  uint32_t block_count; /* data blocks; 0 for an NCF */
  uint32_t item_count;  /* items are numbered 0 .. item_count - 1 */
  uint32_t file_count;
  /* inconsistencies that did not stop the package from being read: the headers', and the
   * directory tree's once it has been checked whole (hl_check, or a walk of the root) */
  uint32_t warning_count;
  int32_t file_shrank; /* the file is now shorter than when it was opened: reads fail */
} hl_package_facts;

typedef struct hl_item {
  uint32_t parent; /* HL_NO_ITEM for the root */
  int32_t is_file;
  int32_t encrypted;
  uint32_t size; /* a file's size; 0 for a folder */
} hl_item;

typedef struct hl_file_state {
  uint64_t size;
  uint64_t stored_bytes; /* present in the package (or on disk, for an NCF) */
  int32_t encrypted;
  int32_t complete; /* every byte stored, and not encrypted */
} hl_file_state;

typedef struct hl_file_layout {
  uint32_t blocks;    /* data blocks holding the stored bytes; 0 for an NCF */
  int32_t fragmented; /* they are not one run of consecutive blocks */
} hl_file_layout;

typedef struct hl_chunk_report {
  uint32_t checksummed_chunks;
  uint32_t bad_chunks; /* 32 KiB chunks whose checksum does not match */
  /* The package stores no checksums for this file, which has bytes: HL_OK says nothing. */
  int32_t not_checked;
} hl_chunk_report;

typedef struct hl_extract_summary {
  uint32_t files_written;
  uint32_t failures;
  uint64_t bytes_written;
  uint32_t skipped; /* files kept as they were (keep_existing) */
} hl_extract_summary;

typedef enum hl_defragment_result {
  HL_REWRITTEN = 0,            /* the package was replaced by its defragmented copy */
  HL_ALREADY_DEFRAGMENTED = 1, /* nothing to change: the package was left untouched */
  HL_NOTHING_TO_DO = 2,        /* an NCF package holds no data blocks */
  /* Replaced too, but programs that may hold the package open for writing could not be looked
   * for (a file system without leases, a package of another user): their writes are lost. */
  HL_REWRITTEN_UNWATCHED = 3
} hl_defragment_result;

/* Told of every item below a folder, in directory order, with its path relative to it; returns
 * nonzero to cancel. */
typedef int(HLLIB_CALL* hl_item_visitor)(void* user, uint32_t item, const char* relative_path);
/* Receives a file's bytes in order; returns 0 to stop the read. */
typedef int(HLLIB_CALL* hl_byte_sink)(void* user, const uint8_t* data, size_t size);
/* Told of every file written or item that failed, with its path below the extracted item;
 * returns nonzero to cancel (the file just written stays). */
typedef int(HLLIB_CALL* hl_extract_observer)(void* user, const char* path, hl_status status,
                                             const char* message);
/* Told of the work done each time it grows, of the total; returns nonzero to cancel. */
typedef int(HLLIB_CALL* hl_progress)(void* user, uint64_t done, uint64_t total);
/* Told of every file whose path a list line cannot hold (a CR or LF in it). */
typedef void(HLLIB_CALL* hl_path_observer)(void* user, const char* path);

/* The library's version, "major.minor.patch": text of the library's own, valid for as long as
 * the library is loaded. Never fails. */
HLLIB_API const char* HLLIB_CALL hl_version(void);
/* The same as a number, made as HLLIB_VERSION_NUMBER is: the library's version, where the macro
 * is the version of the header a caller was compiled with. Never fails. */
HLLIB_API int32_t HLLIB_CALL hl_version_number(void);
/* What the last call on the calling thread did wrong, for people; "" after HL_OK. Valid until
 * the next call of this library on this thread. Never fails. */
HLLIB_API const char* HLLIB_CALL hl_last_message(void);
/* The system's error number behind the last call's failure on the calling thread: errno, or
 * GetLastError() on Windows. 0 after HL_OK, and after a failure the system did not cause (a
 * damaged package, say). Never fails. */
HLLIB_API long HLLIB_CALL hl_last_os_error(void);

/* Opens the package file at `path` and checks its headers, the bounds of its tables and its
 * root, reading no more: what the tables hold is checked where it is used (a lookup checks the
 * entries on its way, a walk the tree below its folder, a read the file's chains, each failing
 * with HL_DAMAGED), or whole by hl_check. On HL_OK *package is a new handle, which holds the
 * file open (for reading only; other programs may still read and write it) until hl_close.
 * Fails with HL_OPEN_FAILED (the file cannot be opened or read), HL_NOT_A_PACKAGE,
 * HL_UNSUPPORTED or HL_DAMAGED, and then sets nothing. */
HLLIB_API hl_status HLLIB_CALL hl_open(const char* path, hl_package** package);
/* As hl_open, for a package's `size` bytes at `data`, which the caller keeps alive and
 * unchanged until hl_close. Messages name it "the package in memory". */
HLLIB_API hl_status HLLIB_CALL hl_open_memory(const void* data, size_t size, hl_package** package);
/* Closes a handle of hl_open and frees it; the handle is invalid from then on. Null is a no-op.
 * Never fails. */
HLLIB_API void HLLIB_CALL hl_close(hl_package* package);
/* NCF only: the folder that holds the package's files on disk (an NCF stores none itself),
 * which every later read, layout, validation and extraction of this handle uses. The path is
 * copied. Until it is set, those calls fail with HL_INVALID. HL_INVALID for a GCF. */
HLLIB_API hl_status HLLIB_CALL hl_set_content_root(hl_package* package, const char* folder);
/* Fills *facts with what the package is: its type and format, blocks, items, files, warnings,
 * and whether its file has shrunk since it was opened (see hl_package_facts). */
HLLIB_API hl_status HLLIB_CALL hl_facts(const hl_package* package, hl_package_facts* facts);
/* Checks the whole directory tree: every item reached once from the root, its links and name
 * inside their tables. HL_DAMAGED names the first fault. Made once: later calls, and walks of
 * the root, give the same answer. Afterwards hl_facts counts the tree's warnings too. */
HLLIB_API hl_status HLLIB_CALL hl_check(const hl_package* package);
/* Warning number `index` (below hl_package_facts.warning_count): an inconsistency that did not
 * keep the package from being read. *text is valid until the next call on this thread;
 * HL_INVALID for an index past the last. */
HLLIB_API hl_status HLLIB_CALL hl_warning(const hl_package* package, uint32_t index,
                                          const char** text);

/* Fills *facts with the item's parent, whether it is a file and encrypted, and a file's size.
 * Items are numbered from 0 (HL_ROOT_ITEM) to item_count - 1; HL_INVALID for any other number,
 * as for every call below that takes an item. */
HLLIB_API hl_status HLLIB_CALL hl_item_facts(const hl_package* package, uint32_t item,
                                             hl_item* facts);
/* The files anywhere below `folder` (0 for a file): a walk of its whole tree (see hl_walk). */
HLLIB_API hl_status HLLIB_CALL hl_file_count_below(const hl_package* package, uint32_t folder,
                                                   uint32_t* count);
/* The item's own name; "" for the root. *name is valid until the next call on this thread. */
HLLIB_API hl_status HLLIB_CALL hl_item_name(const hl_package* package, uint32_t item,
                                            const char** name);
/* The item's path from the root, names joined by `separator` (not '\0'); "" for the root.
 * *path is valid until the next call on this thread. */
HLLIB_API hl_status HLLIB_CALL hl_item_path(const hl_package* package, uint32_t item,
                                            char separator, const char** path);
/* The item at `path` below the root, names separated by '\' or '/', matched exactly first,
 * then without regard to ASCII case; "" is the root. *item is set on HL_OK;
 * HL_ITEM_NOT_FOUND when there is none, HL_DAMAGED when an entry on the way is. */
HLLIB_API hl_status HLLIB_CALL hl_find(const hl_package* package, const char* path, uint32_t* item);
/* Every item below `folder`, depth first in directory order, its path's names joined by
 * `separator` (not '\0'); none for an item that is no folder of the tree. The tree below
 * `folder` is checked first (HL_DAMAGED, no item visited). The visitor is called once per item,
 * until it cancels, and may call this library; the text it gets is valid while it runs. */
HLLIB_API hl_status HLLIB_CALL hl_walk(const hl_package* package, uint32_t folder, char separator,
                                       hl_item_visitor visit, void* user);

/* Fills *state with the file's size, the bytes stored of it, and whether it is encrypted and
 * complete. HL_INVALID for a folder, as for every call below that takes a file. */
HLLIB_API hl_status HLLIB_CALL hl_inspect(const hl_package* package, uint32_t file,
                                          hl_file_state* state);
/* Fills *layout with the number of data blocks that hold the file's stored bytes and whether
 * they are one run of consecutive blocks. HL_DAMAGED for blocks that form no proper chain. */
HLLIB_API hl_status HLLIB_CALL hl_layout(const hl_package* package, uint32_t file,
                                         hl_file_layout* layout);
/* Streams a complete file's bytes to `sink`, in order, in pieces of no fixed size; a sink that
 * returns 0 ends the read early with HL_OK. An incomplete file is refused with HL_INCOMPLETE, an
 * encrypted one with HL_ENCRYPTED, before any byte is handed out. */
HLLIB_API hl_status HLLIB_CALL hl_read(const hl_package* package, uint32_t file, hl_byte_sink sink,
                                       void* user);
/* Compares every 32 KiB chunk of a file with its stored checksum and reports the count of
 * chunks checked and of those that differ; HL_DAMAGED when any differs. A file whose checksums
 * the package does not store is "not checked", with HL_OK. */
HLLIB_API hl_status HLLIB_CALL hl_validate(const hl_package* package, uint32_t file,
                                           hl_chunk_report* report);

/* Writes `item` into the folder `destination` (made with its missing parents, reached through
 * links as the system resolves the path): a file under its own name, a folder with its whole
 * tree, the root's contents directly. Below it no link is followed. Items that cannot be
 * written are reported and skipped; the result is the first failure. With keep_existing, a
 * file already there is left as it is and reported as HL_EXISTS, which is no failure.
 * `progress` is told the bytes of the files dealt with (written, kept or failed) of all the
 * files' bytes, also within a large file. The observer may be null; so may `progress` and
 * `summary`. */
HLLIB_API hl_status HLLIB_CALL hl_extract(const hl_package* package, uint32_t item,
                                          const char* destination, int keep_existing,
                                          hl_extract_observer observer, hl_progress progress,
                                          void* user, hl_extract_summary* summary);
/* Makes the folder `path` with its missing parents, reached through links as the system
 * resolves the path, and opens it for hl_extract_into. *destination is set on HL_OK; close it
 * with hl_destination_close. Like a package handle, it is used by one thread at a time. */
HLLIB_API hl_status HLLIB_CALL hl_destination_open(const char* path, hl_destination** destination);
/* Closes the folders a destination holds open and frees it. Null is a no-op. Never fails. */
HLLIB_API void HLLIB_CALL hl_destination_close(hl_destination* destination);
/* As hl_extract, into the folders that `folders` names below the destination ("" for none;
 * names separated by '\\'). Each is made as the folders of an extracted tree are: a name safe
 * to create (HL_UNSAFE_NAME otherwise), never a link nor anything but a folder. The folders a
 * call opened stay open for the next, so the items of one folder open it once, and a folder
 * moved meanwhile is still written where it went. */
HLLIB_API hl_status HLLIB_CALL hl_extract_into(const hl_package* package, uint32_t item,
                                               hl_destination* destination, const char* folders,
                                               int keep_existing, hl_extract_observer observer,
                                               hl_progress progress, void* user,
                                               hl_extract_summary* summary);
/* Nonzero when `path` fits on one line of the list file: it holds no CR or LF, so it cannot
 * read back as two. One memchr per character kind over the whole path: a byte loop cost half
 * of a listing's own work. */
static inline int hl_path_is_listable(const char* path, size_t length) {
  return memchr(path, '\r', length) == NULL && memchr(path, '\n', length) == NULL;
}
/* Writes the list file (every file's "root\..." path in the package's own bytes, CR LF after
 * each) to `target`, through a temporary that replaces it only once complete; its missing
 * folders are made. Each path with a line break goes to `unlistable` (which may be null) and
 * fails the whole list: nothing is written. */
HLLIB_API hl_status HLLIB_CALL hl_write_file_list(const hl_package* package, const char* target,
                                                  hl_path_observer unlistable, void* user);
/* Rewrites the GCF package at `path` with every file's blocks consecutive; the original is
 * replaced only by a complete, checked copy. `force` rewrites even one already in order.
 * `progress` may be null; each block in use counts twice in it, once copied and once read
 * back. *result says what was done on HL_OK. HL_REFUSED for a package whose
 * structure the rewrite does not fully understand, before a byte is written.
 * HL_IN_USE: another run holds it or another program holds it open for writing; one that
 * opens it so meanwhile waits for the run, which stops and leaves the package as it was (the
 * message says when that program came in the instant of the swap, too late to keep it). */
HLLIB_API hl_status HLLIB_CALL hl_defragment(const char* path, int force, hl_progress progress,
                                             void* user, hl_defragment_result* result);

/* Name conversions for callers that work with the package's own bytes: those bytes as UTF-8,
 * and UTF-8 as those bytes. Text that is not UTF-8 is taken to be in the code page already and
 * kept; HL_INVALID for a character the code page cannot spell. The result is valid until the
 * next call on this thread. */
HLLIB_API hl_status HLLIB_CALL hl_name_to_utf8(const char* stored, const char** text);
HLLIB_API hl_status HLLIB_CALL hl_name_from_utf8(const char* text, const char** stored);

#ifdef __cplusplus
}
#endif

#endif /* HLLIB_HLLIB_H */
