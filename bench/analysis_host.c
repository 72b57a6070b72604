/*
 * The C analysis as a whole process, for the output-road speed benchmark: reads every file
 * named on the command line, then calls `analyze` once per file with no options and adds up
 * the result lengths. Prints "<files> files, <bytes> result bytes". Status 1 when a file
 * cannot be read.
 */

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "veltrane/veltrane.h"

/* The whole content of a file in a new buffer from malloc; NULL when it cannot be read. */
static uint8_t *read_file(const char *path, size_t *len) {
  FILE *file = fopen(path, "rb");
  uint8_t *bytes = NULL;
  size_t size = 0;
  size_t room = 0;
  size_t got;
  if (file == NULL) return NULL;
  do {
    if (size == room) {
      uint8_t *larger;
      room = room == 0 ? 65536 : 2 * room;
      larger = realloc(bytes, room);
      if (larger == NULL) {
        free(bytes);
        fclose(file);
        return NULL;
      }
      bytes = larger;
    }
    got = fread(bytes + size, 1, room - size, file);
    size += got;
  } while (got != 0);
  if (ferror(file)) {
    free(bytes);
    bytes = NULL;
  }
  fclose(file);
  *len = size;
  return bytes;
}

int main(int argc, char **argv) {
  uint8_t **texts = calloc((size_t)argc, sizeof *texts);
  size_t *lengths = calloc((size_t)argc, sizeof *lengths);
  unsigned long long result_bytes = 0;
  int i;
  if (texts == NULL || lengths == NULL) return 1;
  for (i = 1; i < argc; ++i) {
    texts[i] = read_file(argv[i], &lengths[i]);
    if (texts[i] == NULL) {
      fprintf(stderr, "analysis_host: cannot read %s\n", argv[i]);
      return 1;
    }
  }
  for (i = 1; i < argc; ++i) {
    (void)analyze(texts[i], lengths[i], NULL, 0);
    result_bytes += result_len();
  }
  printf("%d files, %llu result bytes\n", argc - 1, result_bytes);
  for (i = 1; i < argc; ++i) free(texts[i]);
  free(texts);
  free(lengths);
  return 0;
}
