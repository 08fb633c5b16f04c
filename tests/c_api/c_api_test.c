/* The C interface as a C program sees it, linked against the shared library: hlmake's demo
 * package (demo.gcf) read against the same files written as a plain tree (tree/), in the
 * current folder. Exits 0 when every check holds. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "hllib/hllib.h"

static int failures = 0;

#define CHECK(condition)                                                                \
  do {                                                                                  \
    if (!(condition)) {                                                                 \
      fprintf(stderr, "%s:%d: %s (last message: %s)\n", __FILE__, __LINE__, #condition, \
              hl_last_message());                                                       \
      ++failures;                                                                       \
    }                                                                                   \
  } while (0)

typedef struct buffer {
  unsigned char* data;
  size_t size;
} buffer;

static int append(void* user, const uint8_t* data, size_t size) {
  buffer* to = (buffer*)user;
  to->data = (unsigned char*)realloc(to->data, to->size + size);
  memcpy(to->data + to->size, data, size);
  to->size += size;
  return 1;
}

static buffer slurp(const char* path) {
  buffer read = {NULL, 0};
  unsigned char chunk[4096];
  size_t got;
  FILE* file = fopen(path, "rb");
  CHECK(file != NULL);
  while (file && (got = fread(chunk, 1, sizeof chunk, file)) > 0) append(&read, chunk, got);
  if (file) fclose(file);
  return read;
}

static int same(buffer a, buffer b) {
  return a.size == b.size && (a.size == 0 || memcmp(a.data, b.data, a.size) == 0);
}

static int count_items(void* user, uint32_t item, const char* path) {
  (void)item, (void)path;
  ++*(uint32_t*)user;
  return 0;
}

static int note_extracted(void* user, const char* path, hl_status status, const char* message) {
  if (status == HL_OK && message && strcmp(path, "de_vault.bsp") == 0) ++*(int*)user;
  return 1;
}

/* Keeps the last progress; cancels when seen[2] is set. */
static int note_progress(void* user, uint64_t done, uint64_t total) {
  uint64_t* seen = (uint64_t*)user;
  seen[0] = done;
  seen[1] = total;
  return seen[2] != 0;
}

int main(void) {
  hl_package* package = NULL;
  char version[32];
  hl_package_facts facts;
  hl_item item_facts;
  hl_file_state state;
  hl_chunk_report report;
  hl_extract_summary summary;
  hl_defragment_result result;
  uint32_t item = 0, again = 0, count = 0;
  const char* text = NULL;
  buffer read = {NULL, 0}, expected, whole, after;
  int told = 0;
  uint64_t progress[3] = {0, 0, 0};

  /* Failures: a status, a message, the system's error (ENOENT and ERROR_FILE_NOT_FOUND are
   * both 2), and no crash for null handles or pointers. */
  CHECK(hl_open("missing.gcf", &package) == HL_OPEN_FAILED && package == NULL &&
        hl_last_os_error() == 2 && strlen(hl_last_message()) > 0);
  CHECK(hl_facts(NULL, &facts) == HL_INVALID && strlen(hl_last_message()) > 0);
  CHECK(hl_open(NULL, &package) == HL_INVALID);
  snprintf(version, sizeof version, "%d.%d.%d", HLLIB_VERSION_MAJOR, HLLIB_VERSION_MINOR,
           HLLIB_VERSION_PATCH);
  CHECK(strcmp(hl_version(), version) == 0 && hl_version_number() == HLLIB_VERSION_NUMBER);

  CHECK(hl_open("demo.gcf", &package) == HL_OK && package != NULL);
  if (!package) return 1;
  CHECK(strcmp(hl_last_message(), "") == 0 && hl_last_os_error() == 0);
  CHECK(hl_facts(package, &facts) == HL_OK && facts.type == HL_GCF && !facts.file_shrank);

  /* The walk meets every item but the root; the facts and a count below the root agree. */
  CHECK(hl_walk(package, HL_ROOT_ITEM, '/', count_items, &count) == HL_OK &&
        count + 1 == facts.item_count);
  CHECK(hl_file_count_below(package, HL_ROOT_ITEM, &count) == HL_OK && count == facts.file_count &&
        count == 12);

  /* Finding: either separator, any ASCII case; nothing for unknown or unspellable names. */
  CHECK(hl_find(package, "maps/de_vault.bsp", &item) == HL_OK);
  CHECK(hl_find(package, "MAPS\\De_Vault.BSP", &again) == HL_OK && again == item);
  CHECK(hl_item_path(package, item, '/', &text) == HL_OK && strcmp(text, "maps/de_vault.bsp") == 0);
  CHECK(hl_item_name(package, item, &text) == HL_OK && strcmp(text, "de_vault.bsp") == 0);
  CHECK(hl_find(package, "maps/none.bsp", &again) == HL_ITEM_NOT_FOUND &&
        strlen(hl_last_message()));
  CHECK(hl_find(package, "maps/\xE2\x98\x83", &again) == HL_ITEM_NOT_FOUND);
  CHECK(hl_item_facts(package, facts.item_count, &item_facts) == HL_INVALID);
  CHECK(hl_inspect(package, HL_ROOT_ITEM, &state) == HL_INVALID);
  CHECK(hl_item_facts(package, HL_ROOT_ITEM, &item_facts) == HL_OK &&
        item_facts.parent == HL_NO_ITEM);
  CHECK(hl_set_content_root(package, "tree") == HL_INVALID && strlen(hl_last_message()) > 0);
  /* A NUL separator would cut the path; reports come back zeroed from a failure too. */
  CHECK(hl_item_path(package, item, '\0', &text) == HL_INVALID);
  CHECK(hl_walk(package, HL_ROOT_ITEM, '\0', count_items, &count) == HL_INVALID);
  memset(&report, 0xAB, sizeof report), memset(&summary, 0xAB, sizeof summary);
  CHECK(hl_validate(package, HL_ROOT_ITEM, &report) == HL_INVALID && !report.checksummed_chunks &&
        !report.bad_chunks && !report.not_checked);
  CHECK(hl_extract(package, facts.item_count, "out", 0, NULL, NULL, NULL, &summary) == HL_INVALID &&
        !summary.files_written && !summary.failures && !summary.bytes_written && !summary.skipped);

  /* Facts, bytes, extraction (cancelled once written: it stays) and checksums of one file. */
  expected = slurp("tree/maps/de_vault.bsp");
  CHECK(hl_inspect(package, item, &state) == HL_OK && state.complete &&
        state.size == expected.size && state.stored_bytes == expected.size);
  CHECK(hl_read(package, item, append, &read) == HL_OK && same(read, expected));
  CHECK(hl_extract(package, item, "out", 0, note_extracted, NULL, &told, &summary) == HL_CANCELLED);
  CHECK(told == 1 && summary.files_written == 1 && summary.bytes_written == expected.size);
  after = slurp("out/de_vault.bsp");
  CHECK(same(after, expected));
  free(after.data);
  CHECK(hl_extract(package, item, "out", 1, NULL, note_progress, progress, &summary) == HL_OK &&
        summary.skipped == 1 && progress[0] == expected.size && progress[1] == expected.size);
  /* Cancelled amid its copy (at its first run of blocks), the file is not written at all. */
  progress[2] = 1;
  CHECK(hl_extract(package, item, "cancelled", 0, NULL, note_progress, progress, &summary) ==
            HL_CANCELLED &&
        summary.files_written == 0 && fopen("cancelled/de_vault.bsp", "rb") == NULL);
  CHECK(hl_validate(package, item, &report) == HL_OK && report.bad_chunks == 0 &&
        !report.not_checked && report.checksummed_chunks > 0);

  hl_close(package);
  whole = slurp("demo.gcf");

  /* The demo's blocks are scattered: a cancelled rewrite leaves it as it was; then one rewrite,
   * with progress to the end, and none. */
  CHECK(hl_defragment("demo.gcf", 0, note_progress, progress, &result) == HL_CANCELLED);
  after = slurp("demo.gcf");
  CHECK(same(after, whole));
  progress[2] = 0;
  CHECK(hl_defragment("demo.gcf", 0, note_progress, progress, &result) == HL_OK &&
        result == HL_REWRITTEN && progress[1] > 0 && progress[0] == progress[1]);
  CHECK(hl_defragment("demo.gcf", 0, NULL, NULL, &result) == HL_OK &&
        result == HL_ALREADY_DEFRAGMENTED);

  free(read.data), free(expected.data), free(whole.data), free(after.data);
  return failures ? 1 : 0;
}
