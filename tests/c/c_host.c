/*
 * A C11 host of libveltrane.so, built against the public header alone: threads that each
 * analyse their own scripts, one thread reading another's result, a fresh thread's slot,
 * and the input buffers' ownership. Under the sanitizers LeakSanitizer also checks that
 * every thread's result is freed when the thread ends.
 */

#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "veltrane/veltrane.h"

enum { THREADS = 8, CALLS = 100 };

static int failures = 0;
static pthread_mutex_t failures_lock = PTHREAD_MUTEX_INITIALIZER;

static void fail(const char *what, int thread, int call) {
  pthread_mutex_lock(&failures_lock);
  ++failures;
  fprintf(stderr, "c_host: %s (thread %d, call %d)\n", what, thread, call);
  pthread_mutex_unlock(&failures_lock);
}

/* True when the len bytes at text hold needle. */
static int contains(const uint8_t *text, size_t len, const char *needle) {
  size_t needle_len = strlen(needle);
  size_t i;
  if (needle_len > len) return 0;
  for (i = 0; i + needle_len <= len; ++i) {
    if (memcmp(text + i, needle, needle_len) == 0) return 1;
  }
  return 0;
}

/* Copies a text into a new buffer from alloc. */
static uint8_t *copy_in(const char *text) {
  size_t len = strlen(text);
  uint8_t *buffer = alloc(len);
  memcpy(buffer, text, len);
  return buffer;
}

static void *worker(void *argument) {
  int thread = (int)(intptr_t)argument;
  int call;
  if (result_len() != 0) fail("result_len is not 0 on a fresh thread", thread, -1);
  for (call = 0; call < CALLS; ++call) {
    char sql[128];
    char table[64];
    const char *options = "{\"version\":\"19c\"}";
    uint8_t *sql_buffer;
    uint8_t *options_buffer;
    const uint8_t *result;
    size_t len;
    snprintf(sql, sizeof sql, "select %d from t%d_%d;", call, thread, call);
    snprintf(table, sizeof table, "\"tables\":[\"T%d_%d\"]", thread, call);
    sql_buffer = copy_in(sql);
    options_buffer = copy_in(options);
    result = analyze(sql_buffer, strlen(sql), options_buffer, strlen(options));
    /* The result stays readable after the inputs are freed. */
    dealloc(sql_buffer);
    dealloc(options_buffer);
    len = result_len();
    if (result == NULL || len == 0) {
      fail("no result", thread, call);
      continue;
    }
    if (!contains(result, len, table)) fail("the result names another table", thread, call);
    if (!contains(result, len, "\"version\":\"19c\"}")) fail("the options were lost", thread, call);
    if (result[len - 1] != '}') fail("the result does not end its object", thread, call);
  }
  return NULL;
}

/* One thread analyses and waits; another reads its result meanwhile. */
struct Handover {
  pthread_mutex_t lock;
  pthread_cond_t changed;
  const uint8_t *result;
  size_t len;
  int read_done;
};

static void *producer(void *argument) {
  struct Handover *handover = argument;
  const char *sql = "select 'handed over' from producer_table;";
  const uint8_t *result = analyze((const uint8_t *)sql, strlen(sql), NULL, 0);
  pthread_mutex_lock(&handover->lock);
  handover->result = result;
  handover->len = result_len();
  pthread_cond_broadcast(&handover->changed);
  while (!handover->read_done) pthread_cond_wait(&handover->changed, &handover->lock);
  pthread_mutex_unlock(&handover->lock);
  return NULL;
}

static void *reader(void *argument) {
  struct Handover *handover = argument;
  pthread_mutex_lock(&handover->lock);
  while (handover->result == NULL) pthread_cond_wait(&handover->changed, &handover->lock);
  if (!contains(handover->result, handover->len, "\"tables\":[\"PRODUCER_TABLE\"]")) {
    fail("another thread's result cannot be read", -1, -1);
  }
  /* This thread's own slot is untouched by the other thread's call. */
  if (result_len() != 0) fail("a reader's slot is not its own", -1, -1);
  handover->read_done = 1;
  pthread_cond_broadcast(&handover->changed);
  pthread_mutex_unlock(&handover->lock);
  return NULL;
}

int main(void) {
  pthread_t threads[THREADS];
  pthread_t pair[2];
  struct Handover handover;
  uint8_t *empty;
  const uint8_t *result;
  int i;

  /* alloc(0) gives a usable byte; dealloc(NULL) does nothing. */
  empty = alloc(0);
  empty[0] = 42;
  dealloc(empty);
  dealloc(NULL);

  if (result_len() != 0) fail("result_len is not 0 before the first analyze", 0, -1);
  result = analyze(NULL, 0, NULL, 0);
  if (result_len() != 56 ||
      memcmp(result, "{\"diagnostics\":[],\"items\":[],\"lines\":1,\"version\":\"26ai\"}", 56) !=
          0) {
    fail("the empty analysis differs", 0, -1);
  }

  for (i = 0; i < THREADS; ++i) {
    if (pthread_create(&threads[i], NULL, worker, (void *)(intptr_t)i) != 0) {
      fail("thread not started", i, -1);
      return 1;
    }
  }
  for (i = 0; i < THREADS; ++i) pthread_join(threads[i], NULL);

  memset(&handover, 0, sizeof handover);
  pthread_mutex_init(&handover.lock, NULL);
  pthread_cond_init(&handover.changed, NULL);
  pthread_create(&pair[0], NULL, producer, &handover);
  pthread_create(&pair[1], NULL, reader, &handover);
  pthread_join(pair[0], NULL);
  pthread_join(pair[1], NULL);
  pthread_cond_destroy(&handover.changed);
  pthread_mutex_destroy(&handover.lock);

  if (failures != 0) {
    fprintf(stderr, "c_host: %d failures\n", failures);
    return 1;
  }
  printf("c_host: %d threads x %d calls, handover and fresh slots: ok\n", THREADS, CALLS);
  return 0;
}
