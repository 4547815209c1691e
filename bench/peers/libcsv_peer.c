/* A peer of the contact file's import and export built on libcsv: reads
 * every record of FILE (delimiter ';', no header, spaces kept), undoes the
 * % coding of every field and writes the record to OUT in the same format
 * (every field with a value coded, then quoted by csv_write2, ';' after each
 * of the nine fields, CR LF), then flushes OUT to disk. It streams, one
 * record at a time, which is the least work the library allows for this job.
 *
 *   libcsv-peer FILE OUT
 */
#include <csv.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define FIELDS 9
#define FLUSH_AT (1 << 20)

struct peer {
  /* The current record: its fields' decoded texts back to back, lengths
   * (-1: no value). */
  unsigned char *text;
  size_t text_size, text_capacity;
  int32_t lengths[FIELDS];
  int field;
  /* Output. */
  int fd;
  unsigned char *out;
  size_t used, capacity;
  unsigned char *coded;
  size_t coded_capacity;
  size_t records;
};

static void *grow(void *p, size_t *capacity, size_t need) {
  if (need <= *capacity) return p;
  size_t next = *capacity ? *capacity * 2 : 4096;
  while (next < need) next *= 2;
  p = realloc(p, next);
  if (!p) {
    perror("realloc");
    exit(1);
  }
  *capacity = next;
  return p;
}

static void put(int fd, const unsigned char *p, size_t n) {
  while (n > 0) {
    ssize_t w = write(fd, p, n);
    if (w <= 0) {
      perror("write");
      exit(1);
    }
    p += w;
    n -= (size_t)w;
  }
}

static void on_field(void *s, size_t len, void *data) {
  struct peer *t = data;
  if (t->field >= FIELDS) return;
  int32_t *length = &t->lengths[t->field++];
  if (s == NULL) return; /* an empty unquoted field: no value */
  t->text = grow(t->text, &t->text_capacity, t->text_size + len);
  unsigned char *out = t->text + t->text_size;
  const unsigned char *in = s;
  if (memchr(in, '%', len) == NULL) {
    memcpy(out, in, len);
    out += len;
  } else {
    for (size_t i = 0; i < len; ++i) {
      if (in[i] != '%') {
        *out++ = in[i];
      } else if (++i < len) {
        *out++ = in[i] == 'c' ? '\r' : in[i] == 'n' ? '\n' : in[i] == '0' ? 0 : in[i];
      }
    }
  }
  *length = (int32_t)(out - (t->text + t->text_size));
  t->text_size = (size_t)(out - t->text);
}

static void on_record(int c, void *data) {
  (void)c;
  struct peer *t = data;
  const unsigned char *text = t->text;
  /* The longest line: every byte coded, then doubled by the quoting. */
  t->out = grow(t->out, &t->capacity, t->used + 4 * t->text_size + 4 * FIELDS + 2);
  for (int f = 0; f < FIELDS; ++f) {
    const int32_t length = t->lengths[f];
    if (length >= 0) {
      const size_t size = (size_t)length;
      const unsigned char *src = text;
      size_t coded_size = size;
      if (memchr(text, '%', size) || memchr(text, '\r', size) || memchr(text, '\n', size) ||
          memchr(text, 0, size)) {
        /* libcsv quotes and doubles the quotes; the % coding comes first. */
        t->coded = grow(t->coded, &t->coded_capacity, 2 * size + 1);
        coded_size = 0;
        for (size_t i = 0; i < size; ++i) {
          const unsigned char b = text[i];
          if (b == '%' || b == '\r' || b == '\n' || b == 0) {
            t->coded[coded_size++] = '%';
            t->coded[coded_size++] = b == '%' ? '%' : b == '\r' ? 'c' : b == '\n' ? 'n' : '0';
          } else {
            t->coded[coded_size++] = b;
          }
        }
        src = t->coded;
      }
      t->used += csv_write2(t->out + t->used, 2 * coded_size + 2, src, coded_size, '"');
      text += size;
    }
    t->out[t->used++] = ';';
    t->lengths[f] = -1;
  }
  t->out[t->used++] = '\r';
  t->out[t->used++] = '\n';
  if (t->used >= FLUSH_AT) {
    put(t->fd, t->out, t->used);
    t->used = 0;
  }
  t->text_size = 0;
  t->field = 0;
  t->records++;
}

static int no_space(unsigned char c) {
  (void)c;
  return 0;
}

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: libcsv-peer FILE OUT\n");
    return 2;
  }
  struct csv_parser parser;
  if (csv_init(&parser, CSV_EMPTY_IS_NULL) != 0) return 1;
  csv_set_delim(&parser, ';');
  csv_set_space_func(&parser, no_space);
  struct peer t = {0};
  for (int f = 0; f < FIELDS; ++f) t.lengths[f] = -1;
  int in = open(argv[1], O_RDONLY);
  if (in < 0) {
    perror(argv[1]);
    return 1;
  }
  t.fd = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (t.fd < 0) {
    perror(argv[2]);
    return 1;
  }
  static char block[128 << 10];
  ssize_t n;
  while ((n = read(in, block, sizeof block)) > 0) {
    if (csv_parse(&parser, block, (size_t)n, on_field, on_record, &t) != (size_t)n) {
      fprintf(stderr, "%s\n", csv_strerror(csv_error(&parser)));
      return 1;
    }
  }
  csv_fini(&parser, on_field, on_record, &t);
  csv_free(&parser);
  close(in);
  put(t.fd, t.out, t.used);
  if (fsync(t.fd) != 0 || close(t.fd) != 0) {
    perror(argv[2]);
    return 1;
  }
  fprintf(stderr, "%zu rows\n", t.records);
  return 0;
}
