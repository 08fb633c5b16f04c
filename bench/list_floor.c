/* The physical floor of writing a list file, for bench/run.sh: one read of a package's
 * directory (DIRECTORY bytes from its start, as the tool reads its entries and names), LIST
 * bytes written to an exclusive temporary in 256 KiB slices, and the temporary renamed over
 * TARGET. No walk, no lines: only what the file system charges for the tool's reads and writes.
 *   list_floor PACKAGE DIRECTORY LIST TARGET */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: list_floor PACKAGE DIRECTORY LIST TARGET\n");
    return 2;
  }
  const size_t directory = strtoull(argv[2], NULL, 10), list = strtoull(argv[3], NULL, 10);
  const size_t slice = 256 * 1024;
  char temporary[4096];
  snprintf(temporary, sizeof temporary, "%s.~floor", argv[4]);
  char* bytes = malloc(directory);
  char* lines = malloc(slice);
  int in = open(argv[1], O_RDONLY);
  int out = open(temporary, O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (!bytes || !lines || in < 0 || out < 0 || pread(in, bytes, directory, 0) < 0) return 1;
  memset(lines, 'x', slice);
  for (size_t done = 0; done < list; done += slice)
    if (pwrite(out, lines, list - done < slice ? list - done : slice, (off_t)done) < 0) return 1;
  if (close(out) != 0 || rename(temporary, argv[4]) != 0) return 1;
  return 0;
}
