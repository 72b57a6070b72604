/*
 * veltrane: analysis of Oracle SQL, PL/SQL and SQL*Plus scripts, for any host that can call
 * C. Link with -lveltrane (libveltrane.so; it needs ICU's common library at run time).
 *
 * One call analyses a whole script: `analyze` takes the script and an options JSON as byte
 * buffers and returns one compact JSON text with every item, syntax tree, token,
 * diagnostic, referenced table, identifier record and statement record of the script.
 * Offsets in it count UTF-16 code units; lines and columns are 1-based, columns counting
 * characters.
 *
 * Threads: all four functions are thread-safe and may be called from any number of
 * threads at once. Each thread has its own result slot; nothing is shared or locked.
 *
 * Failures: none is reported to the caller. Bad input is data (the result holds its
 * diagnostics). An allocation failure or a broken internal invariant prints one line on
 * standard error and aborts the process; no C++ exception ever reaches the host.
 *
 * Size limit: a script of 2 GiB (2^31 bytes) or more, counted before and after its
 * decoding, is not analysed; the result then holds no items and the single error
 * diagnostic "text too large (2 GiB or more)".
 *
 * Example:
 *
 *     const char *sql = "select 1 from dual;";
 *     const char *opts = "{\"version\":\"19c\",\"schema\":\"hr\"}";
 *     const uint8_t *json = analyze((const uint8_t *)sql, strlen(sql),
 *                                   (const uint8_t *)opts, strlen(opts));
 *     fwrite(json, 1, result_len(), stdout);   // not NUL-terminated
 */

#ifndef VELTRANE_VELTRANE_H
#define VELTRANE_VELTRANE_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__) || defined(__clang__)
#define VELTRANE_API __attribute__((visibility("default")))
#else
#define VELTRANE_API
#endif

#ifdef __cplusplus
#define VELTRANE_NOEXCEPT noexcept
extern "C" {
#else
#define VELTRANE_NOEXCEPT
#endif

/*
 * Allocates n uninitialised bytes (1 byte when n is 0) with the system allocator. Never
 * returns NULL: an allocation failure, or n above PTRDIFF_MAX, prints one line on standard
 * error and aborts. The buffer belongs to the caller until it is given to `dealloc`, on any
 * thread. Thread-safe.
 */
VELTRANE_API uint8_t *alloc(size_t n) VELTRANE_NOEXCEPT;

/*
 * Frees a buffer that `alloc` returned; NULL does nothing. Never pass the result of
 * `analyze`: the library owns it. Thread-safe; any thread may free any `alloc` buffer.
 */
VELTRANE_API void dealloc(uint8_t *p) VELTRANE_NOEXCEPT;

/*
 * Analyses the script of sql_len bytes at sql under the options JSON of options_len bytes
 * at options ({"version":"19c","ccflags":"debug:TRUE, level:2","schema":"HR"}; every key
 * optional; an unreadable text gives the defaults 26ai, no flags, schema APP). Bytes that
 * are not UTF-8 are decoded lossily (one U+FFFD per ill-formed sequence).
 *
 * Ownership: both inputs stay the caller's; they are only read during the call, and a
 * length of 0 allows a NULL pointer. A non-NULL pointer is required for any other length
 * (not checked). The returned text belongs to the library.
 *
 * Returns a pointer to this thread's new result: UTF-8 JSON of `result_len()` bytes, NOT
 * terminated by NUL. It stays valid until this thread calls `analyze` again or ends;
 * another thread may read it meanwhile. Thread-safe: each thread has its own result.
 * Calling it from a thread-exit handler that runs after this thread's slot was freed
 * aborts; a thread whose first call comes from a thread-exit handler (a pthread key
 * destructor, which runs after the C++ thread-exit hooks) keeps its result until the
 * process ends.
 */
VELTRANE_API const uint8_t *analyze(const uint8_t *sql, size_t sql_len, const uint8_t *options,
                                    size_t options_len) VELTRANE_NOEXCEPT;

/*
 * The byte length of this thread's last `analyze` result; 0 before the first `analyze` on
 * this thread. Thread-safe (it reads only the calling thread's slot).
 */
VELTRANE_API size_t result_len(void) VELTRANE_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#undef VELTRANE_NOEXCEPT

#endif /* VELTRANE_VELTRANE_H */
